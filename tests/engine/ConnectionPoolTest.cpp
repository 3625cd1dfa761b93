#include "engine/ConnectionPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "support/Loopback.h"

namespace tarnwick {
namespace {

using test::WaitUntil;
using namespace std::chrono_literals;

// Holds the tasks that wait on it until Open(); shared, so that a task may outlive the test body.
struct TGate {
  void Open() {
    {
      std::lock_guard lock(Mutex);
      Opened = true;
    }
    Changed.notify_all();
  }
  void Pass() {
    std::unique_lock lock(Mutex);
    Changed.wait(lock, [this] { return Opened; });
  }
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Opened = false;
};

TEST(ConnectionPoolTest, OneConnectionAfterAnotherIsServedByTheSameThread) {
  TConnectionPool pool;
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::atomic<int> done{0};
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(pool.Run([&] {
      std::lock_guard lock(mutex);
      threads.insert(std::this_thread::get_id());
      ++done;
    }));
    ASSERT_TRUE(WaitUntil([&] { return done == i + 1 && pool.IdleCount() == 1; }));
  }
  EXPECT_EQ(1u, threads.size());
  EXPECT_EQ(1u, pool.ThreadCount());
}

TEST(ConnectionPoolTest, ATaskThatComesWhileAThreadIsFinishingWaitsForIt) {
  auto gate = std::make_shared<TGate>();
  auto announced = std::make_shared<std::atomic<bool>>(false);
  auto ranOn = std::make_shared<std::atomic<std::thread::id>>();
  TConnectionPool pool;
  std::thread::id first;
  ASSERT_TRUE(pool.Run([gate, announced, &first](TConnectionPool::TFinishing& finishing) {
    first = std::this_thread::get_id();
    finishing.Announce();
    finishing.Announce();  // counted once
    *announced = true;
    gate->Pass();  // the tidying up that is left
  }));
  ASSERT_TRUE(WaitUntil([&] { return announced->load(); }));
  ASSERT_TRUE(pool.Run([ranOn] { *ranOn = std::this_thread::get_id(); }));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(1u, pool.ThreadCount()) << "no thread started for it";
  EXPECT_EQ(std::thread::id(), ranOn->load());
  gate->Open();
  ASSERT_TRUE(WaitUntil([&] { return ranOn->load() != std::thread::id(); }));
  EXPECT_EQ(first, ranOn->load());
  // Once that thread is back, a busy thread that announced nothing means a new one again.
  auto second = std::make_shared<TGate>();
  ASSERT_TRUE(WaitUntil([&] { return pool.IdleCount() == 1; }));
  ASSERT_TRUE(pool.Run([second] { second->Pass(); }));
  ASSERT_TRUE(pool.Run([] {}));
  EXPECT_EQ(2u, pool.ThreadCount());
  second->Open();
}

TEST(ConnectionPoolTest, ThreadsGrowToTheCapAndLaterTasksWaitForAFreeOne) {
  auto gate = std::make_shared<TGate>();
  auto started = std::make_shared<std::atomic<int>>(0);
  auto finished = std::make_shared<std::atomic<int>>(0);
  TConnectionPool pool;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(pool.Run(
        [gate, started, finished] {
          ++*started;
          gate->Pass();
          ++*finished;
        },
        3));
  }
  ASSERT_TRUE(WaitUntil([&] { return *started == 3; }));
  EXPECT_EQ(3u, pool.ThreadCount());
  EXPECT_EQ(3, started->load()) << "the fourth and fifth wait for a thread";
  gate->Open();
  ASSERT_TRUE(WaitUntil([&] { return *finished == 5; }));
  EXPECT_EQ(3u, pool.ThreadCount());
}

TEST(ConnectionPoolTest, IdleThreadsEndAfterTheIdleTime) {
  TConnectionPool pool(20ms);
  std::atomic<int> done{0};
  for (int i = 0; i < 4; ++i) pool.Run([&] { ++done; });
  ASSERT_TRUE(WaitUntil([&] { return done == 4; }));
  EXPECT_TRUE(WaitUntil([&] { return pool.ThreadCount() == 0; }));
  // And a new task starts a thread again.
  pool.Run([&] { ++done; });
  EXPECT_TRUE(WaitUntil([&] { return done == 5; }));
}

TEST(ConnectionPoolTest, DestroyingThePoolWaitsForNoTaskAndDropsNone) {
  auto gate = std::make_shared<TGate>();
  auto finished = std::make_shared<std::atomic<int>>(0);
  {
    TConnectionPool pool;
    for (int i = 0; i < 3; ++i) {
      pool.Run(
          [gate, finished] {
            gate->Pass();
            ++*finished;
          },
          1);
    }
  }
  EXPECT_EQ(0, finished->load()) << "the pool is gone while its task still waits";
  gate->Open();
  EXPECT_TRUE(WaitUntil([&] { return *finished == 3; })) << "the queued tasks still ran";
}

}  // namespace
}  // namespace tarnwick
