#include "prefs/Prefs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/Clock.h"

namespace tarnwick {
namespace {

TEST(TimeZoneTest, BiasBecomesSignedHoursAndMinutes) {
  EXPECT_EQ("+0100", FormatTimeZone(-60));
  EXPECT_EQ("-0500", FormatTimeZone(300));
  EXPECT_EQ("+0530", FormatTimeZone(-330));
  EXPECT_EQ("+0000", FormatTimeZone(0));
  EXPECT_EQ("-0930", FormatTimeZone(570));
  EXPECT_EQ("-0030", FormatTimeZone(30)) << "under an hour behind UTC keeps its minus sign";
  EXPECT_EQ("+1245", FormatTimeZone(-765));
}

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) Previous = old, HadPrevious = true;
    setenv("TZ", zone, 1);
  }
  ~ScopedTimeZone() {
    if (HadPrevious)
      setenv("TZ", Previous.c_str(), 1);
    else
      unsetenv("TZ");
  }

 private:
  std::string Previous;
  bool HadPrevious = false;
};

TEST(TimeZoneTest, StandardBiasIgnoresDaylightSavingInBothHemispheres) {
  const std::time_t midsummer = 1751371200;  // 2025-07-01, daylight saving in the north
  {
    ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(-60, StandardTimeBiasMinutes(midsummer));
  }
  {
    ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(300, StandardTimeBiasMinutes(midsummer));
  }
  {
    ScopedTimeZone zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
    EXPECT_EQ(-600, StandardTimeBiasMinutes(midsummer - 180 * 86400));
  }
  {
    ScopedTimeZone zone("IST-5:30");
    EXPECT_EQ(-330, StandardTimeBiasMinutes(midsummer));
  }
  tzset();
}

TEST(PrefsTest, ANewObjectHasNothingSetUntilTheFirstApply) {
  TCorvanePrefs prefs;
  const auto settings = prefs.Settings();
  EXPECT_EQ(0, settings->ListenPort);
  EXPECT_FALSE(settings->RequestFilter || settings->TagFilter || settings->LogEnabled);
  EXPECT_TRUE(settings->BlockItems.empty() && settings->RedirEntries.empty() && settings->AclEntries.empty());
  EXPECT_EQ(0u, prefs.AuthClients.WithLock([](auto& entries) { return entries.size(); }));
  EXPECT_EQ(0, prefs.ConnCnt.load());
  EXPECT_EQ(5u, prefs.TimeZone.size());
}

TEST(PrefsTest, PublishingLeavesEarlierSnapshotsIntact) {
  TCorvanePrefs prefs("+0000");
  TPrefsSettings first;
  first.BlockItems = {"ads", "banner"};
  first.BlockChecked = {true, false};
  prefs.Publish(first);
  const auto held = prefs.Settings();
  TPrefsSettings second;
  second.BlockItems = {"other"};
  prefs.Publish(second);
  EXPECT_EQ(2u, held->BlockItems.size());
  EXPECT_EQ(1u, prefs.Settings()->BlockItems.size());
  EXPECT_TRUE(IsChecked(held->BlockChecked, 0));
  EXPECT_FALSE(IsChecked(held->BlockChecked, 1));
  EXPECT_FALSE(IsChecked(held->BlockChecked, 7)) << "an entry without a check mark is unchecked";
}

TEST(PrefsTest, ReadersNeverSeeAListWithoutItsCheckMarks) {
  TCorvanePrefs prefs("+0000");
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r) {
    readers.emplace_back([&] {
      while (!done.load()) {
        const auto settings = prefs.Settings();
        if (settings->BlockItems.size() != settings->BlockChecked.size()) ++torn;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    TPrefsSettings settings;
    settings.BlockItems.assign(static_cast<size_t>(i % 17), "pattern");
    settings.BlockChecked.assign(static_cast<size_t>(i % 17), true);
    prefs.Publish(std::move(settings));
  }
  done = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(0, torn.load());
}

TEST(PrefsTest, CountersAddUpFromManyThreadsAndResetClearsExactlyThem) {
  TCorvanePrefs prefs("+0000");
  std::vector<std::thread> workers;
  for (int t = 0; t < 8; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        prefs.ConnCnt.fetch_add(1);
        prefs.SentCnt.fetch_add(1'000'000);
        prefs.ActiveConnections.fetch_add(1);
        prefs.ActiveConnections.fetch_sub(1);
      }
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(80000, prefs.ConnCnt.load());
  EXPECT_EQ(80'000'000'000LL, prefs.SentCnt.load()) << "byte counters are 64-bit";
  EXPECT_EQ(0, prefs.ActiveConnections.load());

  prefs.ImgCnt = 3;
  prefs.RecvProxyCnt = 9;
  prefs.ActiveConnections = 2;
  prefs.SinceDate = "01.01.2026";
  prefs.ResetStats();
  EXPECT_EQ(0, prefs.ConnCnt.load());
  EXPECT_EQ(0, prefs.ImgCnt.load());
  EXPECT_EQ(0, prefs.SentCnt.load());
  EXPECT_EQ(0, prefs.RecvProxyCnt.load());
  EXPECT_EQ(2, prefs.ActiveConnections.load());
  EXPECT_EQ("01.01.2026", prefs.SinceDate);
}

}  // namespace
}  // namespace tarnwick
