#include "prefs/StoredProperties.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick {
namespace {

TEST(StoredPropertiesTest, FiftyThreePropertiesInTheirOrder) {
  const auto& properties = StoredProperties();
  ASSERT_EQ(53u, properties.size());
  EXPECT_EQ("AllowOthers_Checked", properties.front().Key);
  EXPECT_EQ("StatStrings_Strings", properties[30].Key);
  EXPECT_EQ("m_HidePasswordText_Checked", properties.back().Key);
  EXPECT_EQ("True", properties[47].DesignValue) << properties[47].Key;
  EXPECT_EQ("-1", properties[8].DesignValue) << properties[8].Key;
  EXPECT_EQ("m_Options_Offline", ComponentName("m_Options_Offline_Checked"));
  EXPECT_EQ("Checked", PropertyName("m_Options_Offline_Checked"));
  EXPECT_EQ("Corvane.BlockListStates_Strings", ListSectionName("BlockListStates_Strings"));
}

TEST(StoredPropertiesTest, AListIsASectionOfItsOwnAndAnEmptyListLeavesNone) {
  TIniFile file = TIniFile::InMemory("[Corvane]\nPort_Text=8080\n");
  ASSERT_TRUE(WriteListSection(file, "Corvane.BlockList_Items", {"ads", "banner", "track"}));
  EXPECT_EQ("[Corvane]\nPort_Text=8080\n\n[Corvane.BlockList_Items]\nCount=3\nItem0=ads\nItem1=banner\nItem2=track\n",
            file.Text());
  std::vector<std::string> lines = {"old"};
  ASSERT_TRUE(ReadListSection(file, "corvane.blocklist_items", lines));
  EXPECT_EQ((std::vector<std::string>{"ads", "banner", "track"}), lines);
  ASSERT_TRUE(WriteListSection(file, "Corvane.BlockList_Items", {}));
  EXPECT_FALSE(file.SectionExists("Corvane.BlockList_Items"));
  EXPECT_FALSE(ReadListSection(file, "Corvane.BlockList_Items", lines));
  EXPECT_EQ((std::vector<std::string>{"ads", "banner", "track"}), lines) << "a missing list keeps what it had";
}

TEST(StoredPropertiesTest, ReadingTakesCountItemsAndFillsGaps) {
  const TIniFile file =
      TIniFile::InMemory("[L]\nCount= 3 \nItem0=a\nItem2=c\nItem3=beyond\n[Zero]\nCount=0\nItem0=x\n");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadListSection(file, "L", lines));
  EXPECT_EQ((std::vector<std::string>{"a", "", "c"}), lines);
  lines = {"kept"};
  EXPECT_FALSE(ReadListSection(file, "Zero", lines));
  EXPECT_EQ((std::vector<std::string>{"kept"}), lines);
}

TEST(StoredPropertiesTest, AHugeCountMakesUpNoItems) {
  const TIniFile file = TIniFile::InMemory("[L]\nCount=2147483647\nItem0=a\nItem2=c\nitem01=not mine\n");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadListSection(file, "L", lines));
  EXPECT_EQ((std::vector<std::string>{"a", "", "c"}), lines);
}

TEST(StoredPropertiesTest, AHugeCountWithAFarItemMakesNoRoomForTheGap) {
  const TIniFile file = TIniFile::InMemory("[L]\nCount=2147483647\nItem1999999999=far\nItem0=a\nItem1=b\n");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadListSection(file, "L", lines));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "far"}), lines);
}

TEST(StoredPropertiesTest, TwentyThousandItemsComeBackWholeAndInOrder) {
  std::vector<std::string> written;
  for (int i = 0; i < 20000; ++i) written.push_back("entry" + std::to_string(i));
  TIniFile file = TIniFile::InMemory("");
  ASSERT_TRUE(WriteListSection(file, "L", written));
  std::vector<std::string> read;
  ASSERT_TRUE(ReadListSection(file, "L", read));
  EXPECT_EQ(written, read);
}

TEST(StoredPropertiesTest, AFreshInstallationStartsWithUsefulFilters) {
  const TIniFile file = TIniFile::InMemory(FreshInstallSettingsText());
  EXPECT_EQ("8080", file.ReadString(kSettingsSection, "Port_Text"));
  EXPECT_EQ("3", file.ReadString(kSettingsSection, "FilterType_ItemIndex"));
  EXPECT_EQ("True", file.ReadString(kSettingsSection, "m_Log_Enabled_Checked"));
  std::vector<std::string> sizes, sizeStates, blocked, blockStates;
  ASSERT_TRUE(ReadListSection(file, ListSectionName("SizeList_Items"), sizes));
  ASSERT_TRUE(ReadListSection(file, ListSectionName("SizeListStates_Strings"), sizeStates));
  ASSERT_TRUE(ReadListSection(file, ListSectionName("BlockList_Items"), blocked));
  ASSERT_TRUE(ReadListSection(file, ListSectionName("BlockListStates_Strings"), blockStates));
  EXPECT_EQ(12u, sizes.size());
  EXPECT_EQ(std::vector<std::string>(12, "1"), sizeStates);
  EXPECT_EQ(blocked.size(), blockStates.size());
  EXPECT_NE(blocked.end(), std::find(blocked.begin(), blocked.end(), "doubleclick.net"));
  EXPECT_NE(sizes.end(), std::find(sizes.begin(), sizes.end(), "468 x 60"));
}

}  // namespace
}  // namespace tarnwick
