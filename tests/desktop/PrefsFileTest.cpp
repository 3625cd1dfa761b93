#include "desktop/PrefsFile.h"

#include <gtest/gtest.h>

#include "desktop/DesktopTestDir.h"

namespace tarnwick {
namespace {

const char* const kHost = "user_pref(\"network.proxy.http\",\"localhost\");";
const char* const kPort = "user_pref(\"network.proxy.http_port\",8080);";
const char* const kTypeOn = "user_pref(\"network.proxy.type\", 1);";
const char* const kTypeOff = "user_pref(\"network.proxy.type\", 0);";

class PrefsFileTest : public ::testing::Test {
 protected:
  std::string Patch(const std::string& text, bool enable = true) {
    const auto path = Dir.Write("prefs.js", text);
    EXPECT_EQ(TPatchResult::Patched, PatchPrefsFile(path, {enable, "localhost", "8080"}));
    return Dir.Read("prefs.js");
  }
  static std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
  }

  test::TTempDir Dir;
};

TEST_F(PrefsFileTest, WithoutProxyLinesTheThreeAreAppended) {
  EXPECT_EQ(Lines({"// Mozilla User Preferences", "user_pref(\"a\", 1);", kHost, kPort, kTypeOn}),
            Patch("// Mozilla User Preferences\nuser_pref(\"a\", 1);\n"));
}

TEST_F(PrefsFileTest, PortLineIsNotTakenForTheHostLine) {
  EXPECT_EQ(Lines({"user_pref(\"network.proxy.http_port\", 3128);", kHost, kPort, kTypeOn}),
            Patch("user_pref(\"network.proxy.http_port\", 3128);\n"));
}

TEST_F(PrefsFileTest, TypeLineIsInsertedAfterHostAndPort) {
  EXPECT_EQ(
      Lines({"x", kHost, kPort, kTypeOn, "y"}),
      Patch("x\nuser_pref(\"network.proxy.http\", \"old\");\nuser_pref(\"network.proxy.http_port\", 3128);\ny\n"));
}

TEST_F(PrefsFileTest, TypeLineRightAfterIsReplacedOneElsewhereIsKept) {
  EXPECT_EQ(Lines({kHost, kPort, kTypeOff}),
            Patch("user_pref(\"network.proxy.http\",\"old\");\nuser_pref(\"network.proxy.http_port\",1);\n"
                  "user_pref(\"network.proxy.type\", 1);\n",
                  false));
  EXPECT_EQ(Lines({"user_pref(\"network.proxy.type\", 0);", kHost, kPort, kTypeOn}),
            Patch("user_pref(\"network.proxy.type\", 0);\nuser_pref(\"network.proxy.http\",\"old\");\n"
                  "user_pref(\"network.proxy.http_port\",1);\n"));
}

TEST_F(PrefsFileTest, HostLineAsTheLastLineGetsItsPortAndType) {
  EXPECT_EQ(Lines({"x", kHost, kPort, kTypeOn}), Patch("x\nuser_pref(\"network.proxy.http\",\"old\");"));
}

TEST_F(PrefsFileTest, RunningTwiceGivesTheSameFile) {
  const std::string once = Patch("a\nuser_pref(\"network.proxy.http\",\"old\");\nb\nc\n");
  EXPECT_EQ(once, Patch(once));
  const std::string fresh = Patch("a\n");
  EXPECT_EQ(fresh, Patch(fresh));
}

TEST_F(PrefsFileTest, MissingFileIsLeftMissing) {
  EXPECT_EQ(TPatchResult::Missing, PatchPrefsFile(Dir.Path("none/prefs.js"), {true, "localhost", "8080"}));
  EXPECT_FALSE(std::filesystem::exists(Dir.Path("none")));
}

TEST_F(PrefsFileTest, SslLinesForTodaysBrowsersKeepLfLineEnds) {
  const auto path = Dir.Write("p/prefs.js", "user_pref(\"network.proxy.ssl\", \"old\");\nuser_pref(\"z\", 1);\n");
  const TPrefsPatch patch{true, "localhost", "8080", true, "\n"};
  ASSERT_EQ(TPatchResult::Patched, PatchPrefsFile(path, patch));
  const std::string expected = "user_pref(\"network.proxy.ssl\",\"localhost\");\nuser_pref(\"z\", 1);\n" +
                               std::string(kHost) + "\n" + kPort + "\n" + kTypeOn +
                               "\nuser_pref(\"network.proxy.ssl_port\",8080);\n";
  EXPECT_EQ(expected, Dir.Read("p/prefs.js"));
  ASSERT_EQ(TPatchResult::Patched, PatchPrefsFile(path, patch));
  EXPECT_EQ(expected, Dir.Read("p/prefs.js"));
}

TEST_F(PrefsFileTest, ScanProfileRootPatchesRootsAndTheirProfiles) {
  Dir.Write("Users50/prefs.js", "a\n");
  Dir.Write("Users50/default/prefs.js", "b\n");
  Dir.Write("Users50/default/liprefs.js", "c\n");
  Dir.Write("Users50/other/unrelated.txt", "d\n");
  Dir.Write("Other/x/prefs.js", "e\n");
  const auto patched = ScanProfileRoot(Dir.Path("Users*"), {true, "localhost", "8080"});
  const std::vector<std::string> expected{Dir.Path("Users50/prefs.js"), Dir.Path("Users50/default/prefs.js"),
                                          Dir.Path("Users50/default/liprefs.js")};
  EXPECT_EQ(expected, patched);
  EXPECT_EQ("e\n", Dir.Read("Other/x/prefs.js"));
  EXPECT_EQ("d\n", Dir.Read("Users50/other/unrelated.txt"));
  EXPECT_TRUE(ScanProfileRoot(Dir.Path("nothing/Users*"), {true, "localhost", "8080"}).empty());
}

TEST_F(PrefsFileTest, ProfilesIniListsRelativeAndAbsoluteProfiles) {
  const auto ini = Dir.Write(".mozilla/firefox/profiles.ini",
                             "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\n"
                             "Path=abcd.default\n\n[Profile1]\nName=work\nIsRelative=0\nPath=/srv/work\n\n"
                             "[Install4F96D1932A9F858E]\nDefault=abcd.default\n");
  const std::vector<std::string> expected{Dir.Path(".mozilla/firefox/abcd.default"), "/srv/work"};
  EXPECT_EQ(expected, ProfilesFromIni(ini));
  EXPECT_TRUE(ProfilesFromIni(Dir.Path("missing.ini")).empty());
}

}  // namespace
}  // namespace tarnwick
