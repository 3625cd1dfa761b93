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
  struct TState;

 public:
  // The number of threads serving at once when no setting says otherwise.
  static constexpr std::size_t kDefaultMaxThreads = 512;
  static constexpr std::chrono::milliseconds kDefaultIdleTime{10000};

  // Given to each task: Announce() tells the pool that the task's thread will be free in a moment
  // (its connection is closed, only its own tidying is left), so a task that comes meanwhile waits
  // for that thread instead of starting another. A client that is answered and comes straight back
  // would otherwise find every thread still tidying up, and the pool would grow far beyond the
  // number of connections open at once.
  class TFinishing {
   public:
    void Announce();

   private:
    friend class TConnectionPool;
    explicit TFinishing(TState& state) : State(state) {}
    TState& State;
    bool Announced = false;
  };

  explicit TConnectionPool(std::chrono::milliseconds idleTime = kDefaultIdleTime);
  ~TConnectionPool();
  TConnectionPool(const TConnectionPool&) = delete;
  TConnectionPool& operator=(const TConnectionPool&) = delete;

  // Hands `task` to a thread, starting one while fewer than `maxThreads` exist (at least one is
  // always allowed). False when no thread exists and none can be started: `task` is then destroyed
  // unrun. The task must not let an exception out.
  bool Run(std::function<void(TFinishing&)> task, std::size_t maxThreads = kDefaultMaxThreads);
  bool Run(std::function<void()> task, std::size_t maxThreads = kDefaultMaxThreads);

  // Threads alive now, busy or idle; for tests and the statistics.
  std::size_t ThreadCount() const;
  std::size_t IdleCount() const;

 private:
  static void Work(const std::shared_ptr<TState>& state);

  std::shared_ptr<TState> State;
};

}  // namespace tarnwick
