#include "prefs/RegistryValues.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

class RegistryValuesTest : public ::testing::Test {
 protected:
  RegistryValuesTest()
      : Path((std::filesystem::temp_directory_path() / ("tarnwick-registry-" + std::to_string(::getpid()))).string()) {
    std::filesystem::remove(Path);
  }
  ~RegistryValuesTest() override { std::filesystem::remove(Path); }

  std::string Path;
};

TEST_F(RegistryValuesTest, TheFirstLoadWritesEveryDefault) {
  TUserStore store(Path);
  TRegistryValues values;
  ASSERT_TRUE(LoadRegistryValues(store, values, 1, 45000.25));
  EXPECT_TRUE(values.IsFirstStart);
  EXPECT_EQ(1, values.Language);
  EXPECT_EQ(45000.25, values.LastUpdate);
  EXPECT_EQ(1, values.TipsIdx);
  // 1.4 as the eight bytes of a double, least significant first.
  EXPECT_EQ(std::string("\x66\x66\x66\x66\x66\x66\xf6\x3f", 8), store.ReadBinary(kRegistryKey, "IdxVersion"));
  EXPECT_EQ(std::string("\x01", 1), store.ReadBinary(kRegistryKey, "Language"));
  EXPECT_EQ(true, store.ReadBool(kRegistryKey, "ShowTips"));
}

TEST_F(RegistryValuesTest, StoredValuesWinOverTheDefaultsAndSurviveASave) {
  TUserStore store(Path);
  TRegistryValues values;
  values.IsFirstStart = false;
  values.Language = 5;
  values.ShowTips = false;
  values.TipsIdx = 7;
  values.IdxVersion = 1.0;
  values.LastUpdate = 45123.5;
  ASSERT_TRUE(SaveRegistryValues(store, values));
  TRegistryValues loaded;
  ASSERT_TRUE(LoadRegistryValues(store, loaded, 4, 1.0));
  EXPECT_FALSE(loaded.IsFirstStart);
  EXPECT_EQ(5, loaded.Language);
  EXPECT_FALSE(loaded.ShowTips);
  EXPECT_EQ(7, loaded.TipsIdx);
  EXPECT_EQ(kIdxVersion, loaded.IdxVersion) << "every save writes the program's version";
  EXPECT_EQ(45123.5, loaded.LastUpdate);
}

TEST_F(RegistryValuesTest, AStoreThatCannotBeWrittenIsReported) {
  TUserStore store("/nonexistent-folder/TARNWICK.USER");
  TRegistryValues values;
  EXPECT_FALSE(LoadRegistryValues(store, values, 4, 1.0));
  EXPECT_EQ(4, values.Language);
  EXPECT_FALSE(SaveRegistryValues(store, values));
}

TEST_F(RegistryValuesTest, LanguagesFindTheirDirectories) {
  EXPECT_EQ("ENG", LanguageDirectoryName(0));
  EXPECT_EQ("ENG", LanguageDirectoryName(4));
  EXPECT_EQ("DEU", LanguageDirectoryName(1));
  EXPECT_EQ("ITA", LanguageDirectoryName(2));
  EXPECT_EQ("ESP", LanguageDirectoryName(3));
  EXPECT_EQ("FRA", LanguageDirectoryName(5));
  EXPECT_EQ("", LanguageDirectoryName(6));
}

TEST_F(RegistryValuesTest, NowCountsDaysFromTheEndOf1899) {
  // 1 January 2020 is day 43831; any current date lies well after it.
  const double now = DateTimeNow();
  EXPECT_GT(now, 43831.0);
  EXPECT_LT(now, 43831.0 + 365.0 * 200);
}

}  // namespace
}  // namespace tarnwick
