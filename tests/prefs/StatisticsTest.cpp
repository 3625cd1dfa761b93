#include "prefs/Statistics.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

class StatisticsTest : public ::testing::Test {
 protected:
  TCorvanePrefs Prefs{"+0000"};
  TStatLines Lines;
};

TEST_F(StatisticsTest, TheThirteenLinesComeInTheirFixedOrder) {
  Prefs.FltImagesCnt = 1;
  Prefs.FltFormsCnt = 2;
  Prefs.FltFramesCnt = 3;
  Prefs.FltLayersCnt = 4;
  Prefs.FltScriptsCnt = 5;
  Prefs.FltTextCnt = 6;
  Prefs.FltWindowsCnt = 7;
  Prefs.ImgCnt = 8;
  Prefs.ConnCnt = -9;
  Prefs.SentCnt = 10;
  Prefs.RecvCnt = 11;
  Prefs.RecvProxyCnt = 12;
  Prefs.SinceDate = "Monday, 3 March 2025";
  Lines = {"stale line"};
  SaveStats(Prefs, Lines);
  EXPECT_EQ((TStatLines{"FltImagesCnt=1", "FltFormsCnt=2", "FltFramesCnt=3", "FltLayersCnt=4", "FltScriptsCnt=5",
                        "FltTextCnt=6", "FltWindowsCnt=7", "ImgCnt=8", "ConnCnt=-9", "SentCnt=10", "RecvCnt=11",
                        "RecvProxyCnt=12", "SinceDate=Monday, 3 March 2025"}),
            Lines);
}

TEST_F(StatisticsTest, ByteCountersBeyondThirtyTwoBitsSurviveTheRoundTrip) {
  Prefs.SentCnt = 3'000'000'000LL;
  Prefs.RecvCnt = 9'000'000'000'000LL;
  Prefs.ConnCnt = 2147483647;
  SaveStats(Prefs, Lines);
  TCorvanePrefs restored("+0000");
  LoadStats(restored, Lines);
  EXPECT_EQ(3'000'000'000LL, restored.SentCnt.load());
  EXPECT_EQ(9'000'000'000'000LL, restored.RecvCnt.load());
  EXPECT_EQ(2147483647, restored.ConnCnt.load());
}

TEST_F(StatisticsTest, MissingOrUnreadableValuesLoadAsZero) {
  Prefs.ImgCnt = 5;
  Prefs.SentCnt = 5;
  LoadStats(Prefs, {"fltimagescnt=17", "ImgCnt=12x", "ConnCnt=2147483648", "SentCnt=", "RecvCnt= 4", "Garbage",
                    "FltFormsCnt=3=4"});
  EXPECT_EQ(17, Prefs.FltImagesCnt.load()) << "keys compare without regard to case";
  EXPECT_EQ(0, Prefs.ImgCnt.load());
  EXPECT_EQ(0, Prefs.ConnCnt.load()) << "beyond 32 bits is not a 32-bit counter's value";
  EXPECT_EQ(0, Prefs.SentCnt.load());
  EXPECT_EQ(0, Prefs.RecvCnt.load());
  EXPECT_EQ(0, Prefs.FltFormsCnt.load());
  EXPECT_EQ("", Prefs.SinceDate);
  EXPECT_EQ("3=4", StatValue({"FltFormsCnt=3=4"}, "FltFormsCnt")) << "the value starts after the first =";
}

TEST_F(StatisticsTest, ResetStartsANewPeriodAndLeavesOpenConnectionsAlone) {
  Prefs.FltImagesCnt = 4;
  Prefs.RecvProxyCnt = 4;
  Prefs.ActiveConnections = 3;
  ResetStats(Prefs, Lines, "Tuesday, 4 March 2025");
  EXPECT_EQ(0, Prefs.FltImagesCnt.load());
  EXPECT_EQ(0, Prefs.RecvProxyCnt.load());
  EXPECT_EQ(3, Prefs.ActiveConnections.load());
  ASSERT_EQ(13u, Lines.size());
  EXPECT_EQ("FltImagesCnt=0", Lines[0]);
  EXPECT_EQ("SinceDate=Tuesday, 4 March 2025", Lines[12]);
}

}  // namespace
}  // namespace tarnwick
