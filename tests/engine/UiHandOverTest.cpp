#include "engine/UiHandOver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "platform/Event.h"

namespace tarnwick {
namespace {

TEST(UiHandOverTest, WorkRunsOnTheUserInterfaceThreadWhileTheCallerWaits) {
  TEvent wake;
  TUiHandOver handOver([&] { wake.SetEvent(); });
  std::thread::id ranOn;
  auto caller =
      std::async(std::launch::async, [&] { return handOver.RunAndWait([&] { ranOn = std::this_thread::get_id(); }); });
  wake.WaitFor();
  handOver.RunPending();
  EXPECT_TRUE(caller.get());
  EXPECT_EQ(std::this_thread::get_id(), ranOn);
}

TEST(UiHandOverTest, ClosingReleasesWaitersAndRefusesLaterWork) {
  TEvent wake;
  TUiHandOver handOver([&] { wake.SetEvent(); });
  std::atomic<bool> ran{false};
  auto caller = std::async(std::launch::async, [&] { return handOver.RunAndWait([&] { ran = true; }); });
  wake.WaitFor();
  handOver.Close();
  EXPECT_FALSE(caller.get()) << "a thread waiting at exit is let go, its work unrun";
  handOver.RunPending();
  EXPECT_FALSE(ran.load());
  auto late = std::async(std::launch::async, [&] { return handOver.RunAndWait([&] { ran = true; }); });
  EXPECT_FALSE(late.get());
  EXPECT_FALSE(ran.load());
}

}  // namespace
}  // namespace tarnwick
