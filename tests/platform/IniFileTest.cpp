#include "platform/IniFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>

namespace tarnwick {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  IniFileTest() : Directory(std::filesystem::temp_directory_path() / ("tarnwick-ini-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(Directory);
    std::filesystem::create_directories(Directory);
  }
  ~IniFileTest() override { std::filesystem::remove_all(Directory); }

  std::string Path() const { return (Directory / "TEST.INI").string(); }
  void Write(const std::string& text) { std::ofstream(Path(), std::ios::binary) << text; }
  std::string Read() const { return TIniFile(Path()).Text(); }

  std::filesystem::path Directory;
};

TEST_F(IniFileTest, NamesCompareWithoutCaseAndValuesLoseTheirBlanks) {
  Write("[Corvane]\r\n  Port_Text =  8080  \r\nEmpty=\r\n[Other]\r\nPort_Text=1\r\n");
  const TIniFile file(Path());
  EXPECT_EQ("8080", file.ReadString("CORVANE", "port_text"));
  EXPECT_EQ("", file.ReadString("Corvane", "Empty", "default"));
  EXPECT_EQ("default", file.ReadString("Corvane", "Missing", "default"));
  EXPECT_EQ("default", file.ReadString("Missing", "Port_Text", "default"));
  EXPECT_EQ("1", file.ReadString("other", "PORT_TEXT"));
  EXPECT_TRUE(file.SectionExists("oTHER"));
}

TEST_F(IniFileTest, AMissingFileReadsAsDefaultsAndTheFirstWriteCreatesIt) {
  TIniFile file(Path());
  EXPECT_EQ("x", file.ReadString("Corvane", "Key", "x"));
  EXPECT_FALSE(file.SectionExists("Corvane"));
  ASSERT_TRUE(file.WriteString("Corvane", "Key", "value"));
  EXPECT_EQ("[Corvane]\nKey=value\n", Read());
}

TEST_F(IniFileTest, WritingAKeyChangesOnlyThatLine) {
  Write("; a comment\n[A]\nOne=1\nTwo=2\n\n[B]\nThree=3\n");
  TIniFile file(Path());
  ASSERT_TRUE(file.WriteString("a", "TWO", "zwei"));
  ASSERT_TRUE(file.WriteString("A", "Four", "4"));
  ASSERT_TRUE(file.WriteString("C", "Five", "5"));
  EXPECT_EQ("; a comment\n[A]\nOne=1\nTWO=zwei\nFour=4\n\n[B]\nThree=3\n\n[C]\nFive=5\n", Read());
}

TEST_F(IniFileTest, EveryReadAndWriteGoesToTheFile) {
  TIniFile first(Path());
  const TIniFile second(Path());
  ASSERT_TRUE(first.WriteString("S", "K", "1"));
  EXPECT_EQ("1", second.ReadString("S", "K"));
  Write("[S]\nK=changed behind its back\n");
  EXPECT_EQ("changed behind its back", first.ReadString("S", "K"));
}

TEST_F(IniFileTest, ReadsSeeAFileRewrittenInPlaceToTheSameSize) {
  // The same size, the same inode, and likely the same clock tick: only a stamp that has settled
  // lets the lines read before stand.
  Write("[S]\nK=1\n");
  const TIniFile file(Path());
  EXPECT_EQ("1", file.ReadString("S", "K"));
  Write("[S]\nK=2\n");
  EXPECT_EQ("2", file.ReadString("S", "K"));
  // An old file read once and then changed is read again.
  const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(0, ::utimensat(AT_FDCWD, Path().c_str(), hourAgo, 0));
  EXPECT_EQ("2", file.ReadString("S", "K"));
  Write("[S]\nK=3\n");
  EXPECT_EQ("3", file.ReadString("S", "K"));
}

TEST_F(IniFileTest, ReadsWithinOneReadingSeeOneVersionOfAFreshFile) {
  Write("[S]\nK=1\nL=a\n");
  const TIniFile file(Path());
  {
    const TIniFile::TOneReading oneReading(file);
    EXPECT_EQ("1", file.ReadString("S", "K"));
    Write("[S]\nK=2\nL=b\n");
    EXPECT_EQ("a", file.ReadString("S", "L")) << "the version first read, not a mix of two";
  }
  EXPECT_EQ("2", file.ReadString("S", "K")) << "after the reading, the file as it is";
  EXPECT_EQ("b", file.ReadString("S", "L"));
}

TEST_F(IniFileTest, StagedChangesReachTheFileInOneWrite) {
  Write("[A]\nOne=1\n[L]\nCount=1\nItem0=old\n");
  TIniFile file(Path());
  TIniFile staged = file.Staged();
  ASSERT_TRUE(staged.WriteString("A", "Two", "2"));
  ASSERT_TRUE(staged.EraseSection("L"));
  ASSERT_TRUE(staged.WriteSection("L", {{"Count", "1"}, {"Item0", "new"}}));
  EXPECT_EQ("[A]\nOne=1\n[L]\nCount=1\nItem0=old\n", Read()) << "nothing written before WriteAll";
  ASSERT_TRUE(file.WriteAll(staged));
  EXPECT_EQ("[A]\nOne=1\nTwo=2\n\n[L]\nCount=1\nItem0=new\n", Read());
  EXPECT_EQ("new", TIniFile(Path()).ReadString("L", "Item0"));
  EXPECT_EQ("2", file.ReadString("A", "Two"));
}

TEST_F(IniFileTest, SectionsAreErasedAndReplacedWhole) {
  Write("[Keep]\nA=1\n[Corvane.BlockList_Items]\nCount=2\nItem0=x\nItem1=y\n[Tail]\nB=2\n");
  TIniFile file(Path());
  ASSERT_TRUE(file.WriteSection("corvane.blocklist_items", {{"Count", "1"}, {"Item0", "z"}}));
  EXPECT_EQ("[Keep]\nA=1\n[Corvane.BlockList_Items]\nCount=1\nItem0=z\n[Tail]\nB=2\n", Read());
  const auto values = file.ReadSection("Corvane.BlockList_Items");
  ASSERT_EQ(2u, values.size());
  EXPECT_EQ("Item0", values[1].first);
  EXPECT_EQ("z", values[1].second);
  ASSERT_TRUE(file.EraseSection("CORVANE.BLOCKLIST_ITEMS"));
  EXPECT_EQ("[Keep]\nA=1\n[Tail]\nB=2\n", Read());
  EXPECT_TRUE(file.EraseSection("never there"));
  ASSERT_TRUE(file.DeleteKey("Tail", "b"));
  EXPECT_EQ("[Keep]\nA=1\n[Tail]\n", Read());
}

TEST_F(IniFileTest, ALineBreakInAValueCannotForgeAnotherKey) {
  TIniFile file(Path());
  ASSERT_TRUE(file.WriteString("Corvane.BlockList_Items", "Item0", "ads\n[Corvane]\nPort_Text=1"));
  EXPECT_EQ("ads [Corvane] Port_Text=1", file.ReadString("Corvane.BlockList_Items", "Item0"));
  EXPECT_FALSE(file.SectionExists("Corvane"));
}

TEST_F(IniFileTest, AFileThatCannotBeWrittenIsReportedAndLeftAlone) {
  TIniFile file((Directory / "missing-folder" / "TEST.INI").string());
  EXPECT_FALSE(file.WriteString("S", "K", "v"));
  EXPECT_FALSE(file.WriteSection("S", {{"K", "v"}}));
}

TEST_F(IniFileTest, ReplacingTheFileKeepsItsPermissions) {
  Write("[S]\nK=1\n");
  ::chmod(Path().c_str(), 0600);
  TIniFile file(Path());
  ASSERT_TRUE(file.WriteString("S", "K", "2"));
  struct stat info {};
  ASSERT_EQ(0, ::stat(Path().c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
}

TEST_F(IniFileTest, AnInMemoryFileBehavesTheSameWithoutTouchingTheDisk) {
  TIniFile file = TIniFile::InMemory("[Corvane]\nPort_Text=8080\n");
  EXPECT_EQ("8080", file.ReadString("corvane", "PORT_TEXT"));
  ASSERT_TRUE(file.WriteString("Corvane", "Port_Text", "9090"));
  EXPECT_EQ("[Corvane]\nPort_Text=9090\n", file.Text());
  EXPECT_TRUE(file.InMemoryOnly());
}

}  // namespace
}  // namespace tarnwick
