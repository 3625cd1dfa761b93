#include "desktop/UpdateRules.h"

#include <gtest/gtest.h>

#include <clocale>

#include "desktop/DesktopTestDir.h"

namespace tarnwick {
namespace {

TEST(UpdateRulesTest, VersionComparisonIsTextual) {
  EXPECT_TRUE(IsNewerVersion("1.4", "1.5"));
  EXPECT_FALSE(IsNewerVersion("1.4", "1.4"));
  EXPECT_FALSE(IsNewerVersion("1.4", "1.10"));
  EXPECT_TRUE(IsNewerVersion("1.4", "1.4.1"));
  EXPECT_FALSE(IsNewerVersion("1.4", "1.3"));
  EXPECT_FALSE(IsNewerVersion("1.4", ""));
  EXPECT_TRUE(IsNewerVersion("1.4", "\xC3"));  // bytes compare unsigned
}

TEST(UpdateRulesTest, InstalledVersionIgnoresTheDecimalComma) {
  EXPECT_EQ("1.4", InstalledVersionText(1.4));
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "C.UTF-8")) {
    EXPECT_EQ("1.4", InstalledVersionText(1.4));
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(UpdateRulesTest, ThirtyDayRule) {
  const double today = 46000.75;
  EXPECT_EQ(TAutoCheck::AdvanceAndCheck, DecideAutoCheck(today - 31, today));
  EXPECT_EQ(TAutoCheck::Advance, DecideAutoCheck(today - 30, today));
  EXPECT_EQ(TAutoCheck::Advance, DecideAutoCheck(46000.9 - 1, 46000.1));  // yesterday late, today early
  EXPECT_EQ(TAutoCheck::Nothing, DecideAutoCheck(46000.1, 46000.9));
  EXPECT_EQ(TAutoCheck::ResetAndSave, DecideAutoCheck(today + 1, today));
  EXPECT_EQ(TAutoCheck::Nothing, DecideAutoCheck(46000.9, 46000.1));
}

TEST(UpdateRulesTest, VersionFileAndDownloadName) {
  test::TTempDir dir;
  const auto path = dir.Write("update.ini",
                              "[Update]\nCurVer=1.5\nProduct=Tarnwick\nSize=1.2 MB\n"
                              "DownloadURL=http://127.0.0.1:1/files/setup.exe\nSHA256=ABCdef\n");
  const auto file = ReadVersionFile(path);
  EXPECT_EQ("1.5", file.CurVer);
  EXPECT_EQ("", file.BrowseURL);
  EXPECT_EQ("abcdef", file.Sha256);
  EXPECT_EQ("Tarnwick  V1.5  /  (1.2 MB)", ProductLine(file));
  EXPECT_EQ("setup.exe", DownloadFileName(file.DownloadURL));
  EXPECT_EQ("", DownloadFileName("setup.exe"));
  EXPECT_EQ("", DownloadFileName("http://h/a/.."));
  EXPECT_EQ("", DownloadFileName("http://h/"));
  EXPECT_EQ("", ReadVersionFile(dir.Path("missing.ini")).CurVer);
  EXPECT_EQ("update_deu.ini", VersionFileName("update_deu.ini"));
  EXPECT_EQ("update.ini", VersionFileName("#Update INI"));
  EXPECT_EQ("x.ini", VersionFileName("../../x.ini"));
  EXPECT_EQ("update.ini", VersionFileName(""));
}

}  // namespace
}  // namespace tarnwick
