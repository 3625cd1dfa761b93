#include "desktop/SettingsImport.h"

#include <gtest/gtest.h>

#include "desktop/DesktopTestDir.h"

namespace tarnwick {
namespace {

class SettingsImportTest : public ::testing::Test {
 protected:
  TWebWasherSettings Read(const std::string& text) { return ReadWebWasherSettings(Dir.Write("ww/WWASHER.INI", text)); }
  test::TTempDir Dir;
};

TEST_F(SettingsImportTest, DefaultsOfAnEmptyFile) {
  const auto s = Read("");
  EXPECT_EQ("8080", s.Port);
  EXPECT_EQ("80", s.ProxyPort);
  EXPECT_EQ("", s.ProxyName);
  EXPECT_FALSE(s.UseProxy);
  EXPECT_FALSE(s.AllowOthers);
  EXPECT_TRUE(s.FltImages && s.FltWindows && s.FltScripts && s.FltFrames && s.FltForms && s.FltText && s.FltLayers);
  EXPECT_TRUE(s.FilterByDim && s.ReplaceTrans && s.IgnoreNoDims);
  EXPECT_EQ(0, s.ConnCnt);
  EXPECT_TRUE(s.Sizes.empty());
}

TEST_F(SettingsImportTest, TableValues) {
  const auto s = Read(
      "[ProxyEngine]\nLocalPort=3128\nAllowOthers=2\nProxyServer1=up.example\nProxyPort1=8000\nDontUseAnyProxy=0\n"
      "[ImageFilter]\nAdImages=0\nAdPopups=1\nAdLinks=x\nReplaceAds=0\n"
      "[WebWasher]\nStatsFilteredImages=12\nStatsConnectionsMade=99\nStatsBytesSent=-5\nStatsBytesReceived=oops\n"
      "StatsBytesReceivedProxy1=2147483647\nStatsImagesReceived=2147483648\n");
  EXPECT_EQ("3128", s.Port);
  EXPECT_FALSE(s.AllowOthers);  // only 1 ticks it
  EXPECT_EQ("up.example", s.ProxyName);
  EXPECT_EQ("8000", s.ProxyPort);
  EXPECT_TRUE(s.UseProxy);
  EXPECT_FALSE(s.FltImages);
  EXPECT_TRUE(s.FltWindows);
  EXPECT_TRUE(s.FltText);  // not a number: the default
  EXPECT_FALSE(s.ReplaceTrans);
  EXPECT_EQ(12, s.FltImagesCnt);
  EXPECT_EQ(99, s.ConnCnt);
  EXPECT_EQ(-5, s.SentCnt);
  EXPECT_EQ(0, s.RecvCnt);
  EXPECT_EQ(2147483647, s.RecvProxyCnt);
  EXPECT_EQ(0, s.ImgCnt);  // beyond 32 bits: the default
  EXPECT_TRUE(Read("[ProxyEngine]\nAllowOthers=1\n").AllowOthers);
}

TEST_F(SettingsImportTest, ListSections) {
  const auto s = Read(
      "[imagefilter.dimensionlist]\n468,60\n 88 , 31 \nwide,tall\n120\n468,60\n\n"
      "[ImageFilter.URLList]\n!good.example\n/skipped\n192.168.1.5\nads.example\n\nafter.blank\n");
  const std::vector<std::pair<int, int>> sizes{{468, 60}, {88, 31}, {468, 60}};
  EXPECT_EQ(sizes, s.Sizes);
  EXPECT_EQ(std::vector<std::string>{"! good.example"}, s.BlockEntries);
  const std::vector<std::string> redirects{"[192.168.1.5]", "ads.example"};
  EXPECT_EQ(redirects, s.RedirEntries);
}

TEST_F(SettingsImportTest, UrlListWithoutDimensionListIsNotRead) {
  EXPECT_TRUE(Read("[ImageFilter.URLList]\nads.example\n").RedirEntries.empty());
  EXPECT_TRUE(Read("x\n[ImageFilter.DimensionList]").Sizes.empty());
  EXPECT_TRUE(Read("[ImageFilter.DimensionList]\n1,2\n[ImageFilter.URLList]").RedirEntries.empty());
}

TEST_F(SettingsImportTest, FoundThroughTheStore) {
  TUserStore store(Dir.Path("TARNWICK.USER"));
  EXPECT_FALSE(FindWebWasherIni(store));
  Dir.Write("TARNWICK.USER", std::string("[") + kWebWasherKey + "]\n");
  EXPECT_FALSE(FindWebWasherIni(store));
  ASSERT_TRUE(store.WriteString(kWebWasherKey, "InstallPath", Dir.Path("ww")));
  EXPECT_FALSE(FindWebWasherIni(store));
  Dir.Write("ww/WWASHER.INI", "");
  EXPECT_EQ(Dir.Path("ww/WWASHER.INI"), FindWebWasherIni(store));
}

TEST_F(SettingsImportTest, IspSoftware) {
  TUserStore store(Dir.Path("TARNWICK.USER"));
  auto found = DetectIspSoftware(store);
  EXPECT_FALSE(found.Aol || found.TOnline);
  Dir.Write("TARNWICK.USER", std::string("[") + kAolKey + "]\n");
  found = DetectIspSoftware(store);
  EXPECT_TRUE(found.Aol && !found.TOnline);
  Dir.Write("TARNWICK.USER", std::string("[") + kTOnlineOtherKey + "]\n");
  found = DetectIspSoftware(store);
  EXPECT_TRUE(!found.Aol && found.TOnline);
  // A current-user key of the T-Online name does not count: the software registers for the machine.
  Dir.Write("TARNWICK.USER", "[Software\\Online Pro GmbH & Co. KG]\n");
  EXPECT_FALSE(DetectIspSoftware(store).TOnline);
}

}  // namespace
}  // namespace tarnwick
