#pragma once
// TConnectionPool: the threads that serve connections, kept for the next connection instead of
// ending with each one. A task goes to an idle thread, or to a new one while fewer than the cap
// exist; beyond the cap it waits for the first thread that comes free. A thread idle for longer
// than the idle time ends, so a quiet program holds no threads.
//
// Threads are detached and share the pool's state, so that destroying the pool never waits for a
// connection being served: idle threads end at once, busy ones after the tasks already handed over.
// Run and destruction may be called from any one thread (the accepting thread); tasks run on the
// pool's threads.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace tarnwick {

class TConnectionPool {
 public:
  // The number of threads serving at once when no setting says otherwise.
  static constexpr std::size_t kDefaultMaxThreads = 512;
  static constexpr std::chrono::milliseconds kDefaultIdleTime{10000};

  explicit TConnectionPool(std::chrono::milliseconds idleTime = kDefaultIdleTime);
  ~TConnectionPool();
  TConnectionPool(const TConnectionPool&) = delete;
  TConnectionPool& operator=(const TConnectionPool&) = delete;

  // Hands `task` to a thread, starting one while fewer than `maxThreads` exist (at least one is
  // always allowed). False when no thread exists and none can be started: `task` is then destroyed
  // unrun. The task must not let an exception out.
  bool Run(std::function<void()> task, std::size_t maxThreads = kDefaultMaxThreads);

  // Threads alive now, busy or idle; for tests and the statistics.
  std::size_t ThreadCount() const;
  std::size_t IdleCount() const;

 private:
  struct TState;
  static void Work(const std::shared_ptr<TState>& state);

  std::shared_ptr<TState> State;
};

}  // namespace tarnwick
