#include "prefs/RecentBlocks.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

TEST(RecentBlocksTest, KeepsTheNewestHundredOldestFirst) {
  TRecentBlocks recent;
  for (int i = 0; i < 250; ++i) recent.Add({i, "http://x/" + std::to_string(i), "x"});
  const auto kept = recent.Snapshot();
  ASSERT_EQ(TRecentBlocks::kCapacity, kept.size());
  EXPECT_EQ("http://x/150", kept.front().Url);
  EXPECT_EQ("http://x/249", kept.back().Url);
  for (size_t i = 1; i < kept.size(); ++i) ASSERT_LT(kept[i - 1].When, kept[i].When);
  recent.Clear();
  EXPECT_TRUE(recent.Snapshot().empty());
}

TEST(RecentBlocksTest, CutsHugeAddressesAndTakesAddsFromManyThreads) {
  TRecentBlocks recent;
  recent.Add({1, std::string(100000, 'a'), "a"});
  EXPECT_EQ(TRecentBlocks::kUrlLimit, recent.Snapshot().front().Url.size());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&recent] {
      for (int i = 0; i < 500; ++i) recent.Add({i, "u", "e"});
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(TRecentBlocks::kCapacity, recent.Snapshot().size());
}

}  // namespace
}  // namespace tarnwick
