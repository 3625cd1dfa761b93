#include "language/Language.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "language/DetectLanguage.h"
#include "language/LanguageFile.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// A program directory with one language file per test, and the boxes the lookups asked for.
class LanguageTest : public ::testing::Test {
 protected:
  LanguageTest()
      : Root(fs::temp_directory_path() / ("tarnwick-language-" + std::to_string(::getpid()))), Language(Root) {
    fs::remove_all(Root);
    Language.SetProblemReporter(
        [this](const std::string& caption, const std::string& text) { Problems.push_back(caption + "|" + text); });
    Language.SetCode(kLanguageGerman);
    Language.SelectLanguageDirectory();
    Language.SetLanguageFile(Language.LanguageFilePath());
  }
  ~LanguageTest() override { fs::remove_all(Root); }

  void Write(const std::string& text) {
    fs::create_directories(Language.LanguageDirectory());
    std::ofstream(Language.LanguageFilePath(), std::ios::binary) << text;
  }
  std::string Text(const std::string& key) { return Language.TranslateText(key); }
  std::string Block(const std::string& key) { return Language.TranslateBlock(key); }

  fs::path Root;
  TLanguage Language;
  std::vector<std::string> Problems;
};

TEST_F(LanguageTest, TheLanguageFileLiesInTheCodesDirectory) {
  EXPECT_EQ((Root / "LANGUAGE/DEU/LANGUAGE.TXT").string(), Language.LanguageFilePath());
  for (auto [code, part] : std::map<int, std::string>{{0, "ENG"}, {4, "ENG"}, {2, "ITA"}, {3, "ESP"}, {5, "FRA"}}) {
    Language.SetCode(static_cast<std::uint8_t>(code));
    Language.SelectLanguageDirectory();
    EXPECT_EQ((Root / "LANGUAGE" / part / "").string(), Language.LanguageDirectory()) << code;
  }
  // An unknown code keeps the directory it found.
  Language.SetCode(9);
  Language.SelectLanguageDirectory();
  EXPECT_EQ((Root / "LANGUAGE/FRA/").string(), Language.LanguageDirectory());
}

TEST_F(LanguageTest, EntriesAreFoundByTheirFirstExactKey) {
  Write(
      "#Proxy Setup=Proxy-Einstellungen\r\n"
      "#add=Hinzuf\xC3\xBCgen\n"
      "#Del =Entfernen\r"
      "#Twice=first\n#Twice=second\n"
      "#Formula=a=b=c\n"
      "#\xC3\xA4nderung=accented\n"
      "line without an equals sign\n");
  EXPECT_EQ("Proxy-Einstellungen", Text("#Proxy Setup"));
  EXPECT_EQ("Hinzuf\xC3\xBCgen", Text("#ADD")) << "ASCII letters fold";
  EXPECT_EQ("#Del", Text("#Del")) << "a blank before = belongs to the key";
  EXPECT_EQ("Entfernen", Text("#Del "));
  EXPECT_EQ("first", Text("#Twice"));
  EXPECT_EQ("a=b=c", Text("#Formula"));
  EXPECT_EQ("accented", Text("#\xC3\xA4nderung"));
  EXPECT_EQ("#\xC3\x84NDERUNG", Text("#\xC3\x84NDERUNG")) << "accented letters do not fold";
  EXPECT_EQ("#Missing key", Text("#Missing key"));
  EXPECT_EQ("", Text("")) << "the empty key is never found";
  EXPECT_TRUE(Problems.empty());
}

TEST_F(LanguageTest, BlocksEndAtTheirClosingLine) {
  Write(
      "##Two=the caption\n"
      "first line\n"
      "second = line\n"
      "  ##end \t\n"
      "##Empty=\n"
      "##END\n"
      "##Open=\n"
      "only line\n"
      "last line");
  EXPECT_EQ("first line\r\nsecond = line\r\n", Block("##Two"));
  EXPECT_EQ("the caption", Text("##Two")) << "the entry line's own text serves as a single line";
  EXPECT_EQ("", Block("##Empty"));
  EXPECT_EQ("only line\r\nlast line\r\n", Block("##Open")) << "an unclosed block runs to the end";
  EXPECT_EQ("##Nothing", Block("##Nothing"));
}

TEST_F(LanguageTest, AMissingOrUnnamedFileAnswersWithTheKeyAndSaysSo) {
  EXPECT_EQ("#Apply", Text("#Apply"));
  EXPECT_EQ("##errBind", Block("##errBind"));
  ASSERT_EQ(2u, Problems.size());
  EXPECT_EQ("Error|Language - file \"" + Language.LanguageFilePath() + "\" not found !!!", Problems[0]);

  Language.SetLanguageFile("");
  EXPECT_EQ("#Apply", Text("#Apply"));
  EXPECT_EQ("Error|Language Filename not defined !!!", Problems.back());
}

TEST_F(LanguageTest, AnEditedFileTakesEffectAtTheNextLookup) {
  Write("#Apply=Anwenden\n");
  EXPECT_EQ("Anwenden", Text("#Apply"));
  Write(
      "#Apply=\xC3\x9C"
      "bernehmen\n");
  EXPECT_EQ(
      "\xC3\x9C"
      "bernehmen",
      Text("#Apply"));
}

TEST(LanguageFileTest, TheReverseLookupGivesTheFirstKeyOfAText) {
  const auto lines = SplitLanguageLines("#Add=Add\n#Add entry=add\nplain line\n#Del=Delete\n");
  EXPECT_EQ("#Add", LookUpKey(lines, "ADD"));
  EXPECT_EQ("", LookUpKey(lines, "plain line")) << "a line without = has an empty key";
  EXPECT_EQ("#Del", LookUpKey(lines, "Delete"));
  EXPECT_EQ(std::nullopt, LookUpKey(lines, "changed at run time"));
}

TEST(LanguageFileTest, LinesEndAtCrLfCrOrLf) {
  EXPECT_EQ((TLanguageLines{"a", "b", "", "c", "d"}), SplitLanguageLines("a\r\nb\r\rc\nd"));
  EXPECT_EQ((TLanguageLines{"a", ""}), SplitLanguageLines("a\n\n"));
}

TEST(DetectLanguageTest, LocalesGiveTheirLanguage) {
  EXPECT_EQ(0x0807, LanguageIdFromLocale("de_CH.UTF-8"));
  EXPECT_EQ(kLanguageGerman, LanguageCodeFromId(LanguageIdFromLocale("de_CH.UTF-8")));
  EXPECT_EQ(kLanguageGerman, LanguageCodeFromId(LanguageIdFromLocale("de_AT@euro")));
  EXPECT_EQ(kLanguageItalian, LanguageCodeFromId(LanguageIdFromLocale("it_CH")));
  EXPECT_EQ(kLanguageSpanish, LanguageCodeFromId(LanguageIdFromLocale("es_MX.UTF-8")));
  EXPECT_EQ(kLanguageFrench, LanguageCodeFromId(LanguageIdFromLocale("fr_CA.UTF-8")));
  for (const char* other : {"nl_NL.UTF-8", "C", "C.UTF-8", "POSIX", "en_GB.UTF-8", "", "de"}) {
    EXPECT_EQ(0x0409, LanguageIdFromLocale(other)) << other;
  }
  // Every Spanish identifier, and the neighbours that are not Spanish.
  EXPECT_EQ(kLanguageSpanish, LanguageCodeFromId(0x0C0A));
  EXPECT_EQ(kLanguageSpanish, LanguageCodeFromId(0x500A));
  EXPECT_EQ(kLanguageEnglish, LanguageCodeFromId(0x540A));
  EXPECT_EQ(kLanguageEnglish, LanguageCodeFromId(0x000A));
  EXPECT_EQ(kLanguageEnglish, LanguageCodeFromId(0x0413));
  EXPECT_EQ(kLanguageGerman, LanguageCodeFromId(0x1407));
}

TEST(DetectLanguageTest, LcAllThenLcMessagesThenLang) {
  std::map<std::string, std::string> env;
  const auto detect = [&env] {
    return DetectLanguage([&env](const char* name) -> const char* {
      const auto found = env.find(name);
      return found == env.end() ? nullptr : found->second.c_str();
    });
  };
  EXPECT_EQ(kLanguageEnglish, detect());
  env["LANG"] = "fr_FR.UTF-8";
  EXPECT_EQ(kLanguageFrench, detect());
  env["LC_MESSAGES"] = "it_IT.UTF-8";
  EXPECT_EQ(kLanguageItalian, detect());
  env["LC_ALL"] = "";
  EXPECT_EQ(kLanguageItalian, detect()) << "an empty variable does not count";
  env["LC_ALL"] = "es_ES.UTF-8";
  EXPECT_EQ(kLanguageSpanish, detect());
}

}  // namespace
}  // namespace tarnwick
