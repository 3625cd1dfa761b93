#include "prefs/Limits.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(IniLimitsTest, KeysOfTheSectionSetTheLimitsAndDamagedOnesKeepTheDefaults) {
  const TLimits defaults;
  EXPECT_EQ(defaults, ReadLimits(TIniFile::InMemory("")));
  EXPECT_EQ(60, defaults.HeadTimeoutSec);
  EXPECT_EQ(300, defaults.IdleTimeoutSec);
  EXPECT_EQ(600, defaults.TunnelIdleSec);
  EXPECT_EQ(512, defaults.MaxConnections);
  EXPECT_EQ(256LL << 20, defaults.WordBudgetBytes);

  const TLimits set =
      ReadLimits(TIniFile::InMemory("[tarnwick.limits]\nHeadTimeout=5\nIdleTimeout= 7 "
                                    "\nTunnelIdleTimeout=9\nMaxConnections=3\n"
                                    "WordBudgetMiB=4096\n"));
  EXPECT_EQ(5, set.HeadTimeoutSec);
  EXPECT_EQ(7, set.IdleTimeoutSec);
  EXPECT_EQ(9, set.TunnelIdleSec);
  EXPECT_EQ(3, set.MaxConnections);
  EXPECT_EQ(4096LL << 20, set.WordBudgetBytes) << "the budget may exceed 2 GiB without overflow";

  // Zero or a negative number would switch a bound off, which no damaged file
  // may do.
  const TLimits damaged =
      ReadLimits(TIniFile::InMemory("[Tarnwick.Limits]\nHeadTimeout=0\nIdleTimeout=-"
                                    "1\nTunnelIdleTimeout=abc\nMaxConnections=\n"
                                    "WordBudgetMiB=99999999999\n"));
  EXPECT_EQ(defaults, damaged);
}

}  // namespace
}  // namespace tarnwick
