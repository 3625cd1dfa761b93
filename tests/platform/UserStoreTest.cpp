#include "platform/UserStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

class UserStoreTest : public ::testing::Test {
 protected:
  UserStoreTest()
      : Path((std::filesystem::temp_directory_path() / ("tarnwick-store-" + std::to_string(::getpid()))).string()),
        Store(Path) {
    std::filesystem::remove(Path);
  }
  ~UserStoreTest() override { std::filesystem::remove(Path); }

  std::string Path;
  TUserStore Store;
  static constexpr const char* Key = "Software\\Brevikor\\Tarnwick";
};

TEST_F(UserStoreTest, ValuesKeepTheirTypes) {
  ASSERT_TRUE(Store.WriteInteger(Key, "TipsIdx", 42));
  ASSERT_TRUE(Store.WriteBool(Key, "ShowTips", true));
  ASSERT_TRUE(Store.WriteBinary(Key, "Language", std::string("\x04\x00\xff", 3)));
  ASSERT_TRUE(Store.WriteString(Key, "Password", "SECRET"));
  EXPECT_EQ(42u, Store.ReadInteger(Key, "tipsidx"));
  EXPECT_EQ(true, Store.ReadBool(Key, "ShowTips"));
  EXPECT_EQ(std::string("\x04\x00\xff", 3), Store.ReadBinary(Key, "Language"));
  EXPECT_EQ("SECRET", Store.ReadString(Key, "Password"));
  std::ifstream in(Path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(std::string::npos, text.find("[Software\\Brevikor\\Tarnwick]\n"));
  EXPECT_NE(std::string::npos, text.find("TipsIdx=dword:0000002a\n"));
  EXPECT_NE(std::string::npos, text.find("Language=hex:04,00,ff\n"));
}

TEST_F(UserStoreTest, AValueOfAnotherTypeOrWithBadDataReadsAsMissing) {
  ASSERT_TRUE(Store.WriteString(Key, "TipsIdx", "7"));
  EXPECT_FALSE(Store.ReadInteger(Key, "TipsIdx"));
  EXPECT_TRUE(Store.ValueExists(Key, "TipsIdx"));
  EXPECT_FALSE(Store.ReadInteger(Key, "Missing"));
  std::ofstream(Path) << "[Software\\Brevikor\\Tarnwick]\nA=dword:12345678 9\nB=hex:0g\nC=hex:012\nD=dword:123456789\n";
  EXPECT_FALSE(Store.ReadInteger(Key, "A"));
  EXPECT_FALSE(Store.ReadBinary(Key, "B"));
  EXPECT_FALSE(Store.ReadBinary(Key, "C"));
  EXPECT_FALSE(Store.ReadInteger(Key, "D"));
}

TEST_F(UserStoreTest, OnlyItsOwnerMayReadIt) {
  ASSERT_TRUE(Store.WriteString(Key, "Password", "X"));
  struct stat info {};
  ASSERT_EQ(0, ::stat(Path.c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777);
}

}  // namespace
}  // namespace tarnwick
