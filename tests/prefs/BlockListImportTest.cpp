#include "prefs/BlockListImport.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "prefs/StoredProperties.h"

namespace tarnwick {
namespace {

using TLines = std::vector<std::string>;

TEST(BlockListImportTest, HostsFilesGiveTheirBlockedNamesOnly) {
  const auto parsed = ParseBlockListText(
      "# a hosts file\r\n"
      "127.0.0.1 localhost\r\n"
      "127.0.0.1\tlocalhost.localdomain\r\n"
      "::1 ip6-localhost ip6-loopback\r\n"
      "0.0.0.0 0.0.0.0\r\n"
      "0.0.0.0 Ads.Example.com   # the banners\r\n"
      "127.0.0.1 track.example.net pixel.example.net\r\n"
      "192.168.1.10 nas.home.lan\r\n"
      "\r\n");
  EXPECT_EQ((TLines{"ads.example.com", "track.example.net", "pixel.example.net"}), parsed.Entries);
  EXPECT_EQ(1, parsed.Skipped) << "a name mapped to a real address is not a block";
}

TEST(BlockListImportTest, PlainDomainListsAndCommentsAndBlankLines) {
  const auto parsed = ParseBlockListText("example.org\n\n   # comment\nsub.example.com \nnot a domain\nlocalhost\n");
  EXPECT_EQ((TLines{"example.org", "sub.example.com"}), parsed.Entries);
  EXPECT_EQ(2, parsed.Skipped);
}

TEST(BlockListImportTest, FilterListDomainRulesAndExceptionsOtherRulesCounted) {
  const auto parsed = ParseBlockListText(
      "[Adblock Plus 2.0]\n"
      "! Title: some list\n"
      "||ads.example.com^\n"
      "@@||Good.Example.com^\n"
      "||tracker.example.net^$third-party\n"
      "||example.com/banner/*\n"
      "example.com##.ad-box\n"
      "/adframe.\n"
      "||*.wild.example^\n");
  EXPECT_EQ((TLines{"ads.example.com", "! good.example.com"}), parsed.Entries);
  EXPECT_EQ(5, parsed.Skipped);
}

TEST(BlockListImportTest, MergeKeepsTheWindowsOrderTicksAndCountsDuplicates) {
  TLines items = {"/banners/", "doubleclick.net", "Zeta.example"};
  TLines states = {"1", "0", "1"};
  const auto counts =
      MergeIntoBlockList(items, states, {"b.example", "DoubleClick.net", "a.example", "b.example", "zz.example"});
  EXPECT_EQ(3, counts.Added);
  EXPECT_EQ(2, counts.AlreadyPresent) << "present in any letter case, or twice in the import";
  EXPECT_EQ((TLines{"/banners/", "a.example", "b.example", "doubleclick.net", "Zeta.example", "zz.example"}), items);
  EXPECT_EQ((TLines{"1", "1", "1", "0", "1", "1"}), states) << "existing ticks stay with their entries";
}

TEST(BlockListImportTest, MissingStateLinesCountAsUnticked) {
  TLines items = {"a", "c"};
  TLines states = {"1"};
  MergeIntoBlockList(items, states, {"b"});
  EXPECT_EQ((TLines{"a", "b", "c"}), items);
  EXPECT_EQ((TLines{"1", "1", "0"}), states);
}

TEST(BlockListImportTest, FiftyThousandHostsImportWhole) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "0.0.0.0 host" + std::to_string(i) + ".example\n";
  const auto parsed = ParseBlockListText(text);
  ASSERT_EQ(50000u, parsed.Entries.size());
  TLines items = {"host7.example"};
  TLines states = {"0"};
  const auto counts = MergeIntoBlockList(items, states, parsed.Entries);
  EXPECT_EQ(49999, counts.Added);
  EXPECT_EQ(1, counts.AlreadyPresent);
  ASSERT_EQ(50000u, items.size());
  ASSERT_EQ(50000u, states.size());
  EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
}

class SettingsFileImport : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarnwick-import-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    Directory = pattern;
  }
  void TearDown() override {
    ::unlink(Path().c_str());
    ::rmdir(Directory.c_str());
  }
  std::string Path() const { return Directory + "/TARNWICK.INI"; }
  TLines List(const TIniFile& file, const char* key) const {
    TLines lines;
    ReadListSection(file, ListSectionName(key), lines);
    return lines;
  }
  std::string Directory;
};

TEST_F(SettingsFileImport, AMissingFileKeepsTheFreshInstallationAndGainsTheImport) {
  TIniFile file(Path());
  const auto result = ImportIntoSettingsFile(file, "0.0.0.0 ads.example.com\n0.0.0.0 doubleclick.net\n");
  ASSERT_TRUE(result.Ok);
  EXPECT_EQ(1, result.Counts.Added);
  EXPECT_EQ(1, result.Counts.AlreadyPresent);
  const TIniFile reread(Path());
  EXPECT_EQ("8080", reread.ReadString(kSettingsSection, "Port_Text"));
  EXPECT_EQ(12u, List(reread, "SizeList_Items").size());
  const TLines items = List(reread, "BlockList_Items");
  ASSERT_EQ(11u, items.size());
  EXPECT_EQ("ads.example.com", items[3]);
  EXPECT_EQ(TLines(11, "1"), List(reread, "BlockListStates_Strings"));
}

TEST_F(SettingsFileImport, AnExistingFileChangesOnlyInItsBlockList) {
  TIniFile file(Path());
  ASSERT_TRUE(file.WriteString(kSettingsSection, "Port_Text", "3128"));
  ASSERT_TRUE(WriteListSection(file, ListSectionName("BlockList_Items"), {"mine"}));
  ASSERT_TRUE(WriteListSection(file, ListSectionName("BlockListStates_Strings"), {"0"}));
  const auto result = ImportIntoSettingsFile(file, "||a.example^\n@@||b.example^\n##.ad\n");
  ASSERT_TRUE(result.Ok);
  EXPECT_EQ(2, result.Counts.Added);
  EXPECT_EQ(1, result.Counts.Skipped);
  EXPECT_EQ("3128", file.ReadString(kSettingsSection, "Port_Text"));
  EXPECT_EQ((TLines{"! b.example", "a.example", "mine"}), List(file, "BlockList_Items"));
  EXPECT_EQ((TLines{"1", "1", "0"}), List(file, "BlockListStates_Strings"));
  EXPECT_FALSE(file.SectionExists(ListSectionName("SizeList_Items")));
}

}  // namespace
}  // namespace tarnwick
