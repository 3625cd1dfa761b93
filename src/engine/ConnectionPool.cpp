#include "engine/ConnectionPool.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace tarnwick {

struct TConnectionPool::TState {
  explicit TState(std::chrono::milliseconds idleTime) : IdleTime(idleTime) {}

  const std::chrono::milliseconds IdleTime;

  std::mutex Mutex;
  std::condition_variable TaskReady;
  // Guarded by Mutex.
  std::deque<std::function<void(TFinishing&)>> Tasks;
  std::size_t Threads = 0;    // alive, busy or idle
  std::size_t Idle = 0;       // waiting for a task
  std::size_t Finishing = 0;  // busy, but announced to be free in a moment
  bool Closing = false;       // the pool is gone: threads end once the handed-over tasks are done
};

TConnectionPool::TConnectionPool(std::chrono::milliseconds idleTime) : State(std::make_shared<TState>(idleTime)) {}

TConnectionPool::~TConnectionPool() {
  {
    std::lock_guard lock(State->Mutex);
    State->Closing = true;
  }
  State->TaskReady.notify_all();
}

void TConnectionPool::TFinishing::Announce() {
  std::lock_guard lock(State.Mutex);
  if (Announced) return;
  Announced = true;
  ++State.Finishing;
}

bool TConnectionPool::Run(std::function<void()> task, std::size_t maxThreads) {
  return Run([task = std::move(task)](TFinishing&) { task(); }, maxThreads);
}

bool TConnectionPool::Run(std::function<void(TFinishing&)> task, std::size_t maxThreads) {
  std::unique_lock lock(State->Mutex);
  State->Tasks.push_back(std::move(task));
  // An idle thread that was woken but has not yet taken its task still counts as idle, so the
  // queue is compared with the idle and finishing threads rather than asking whether any is idle.
  const bool needThread =
      State->Tasks.size() > State->Idle + State->Finishing && State->Threads < std::max<std::size_t>(maxThreads, 1);
  if (needThread) {
    try {
      std::thread([state = State] { Work(state); }).detach();
      ++State->Threads;
    } catch (const std::system_error&) {
      if (State->Threads == 0) {
        // Nobody would ever take it: the task (and the connection it holds) goes now, unlocked,
        // since its destruction may take a while.
        std::function<void(TFinishing&)> unrun = std::move(State->Tasks.back());
        State->Tasks.pop_back();
        lock.unlock();
        return false;
      }
      // The threads there are will come to it.
    }
  }
  lock.unlock();
  State->TaskReady.notify_one();
  return true;
}

void TConnectionPool::Work(const std::shared_ptr<TState>& state) {
  std::unique_lock lock(state->Mutex);
  for (;;) {
    if (state->Tasks.empty() && !state->Closing) {
      ++state->Idle;
      state->TaskReady.wait_for(lock, state->IdleTime, [&] { return !state->Tasks.empty() || state->Closing; });
      --state->Idle;
    }
    if (state->Tasks.empty()) break;  // idle too long, or the pool is closing
    std::function<void(TFinishing&)> task = std::move(state->Tasks.front());
    state->Tasks.pop_front();
    lock.unlock();
    TFinishing finishing(*state);
    try {
      task(finishing);
    } catch (...) {
      // Nothing may leave a thread; the task's connection is closed below all the same.
    }
    task = nullptr;  // the connection is closed before the thread offers itself again
    lock.lock();
    if (finishing.Announced) --state->Finishing;
  }
  --state->Threads;
}

std::size_t TConnectionPool::ThreadCount() const {
  std::lock_guard lock(State->Mutex);
  return State->Threads;
}

std::size_t TConnectionPool::IdleCount() const {
  std::lock_guard lock(State->Mutex);
  return State->Idle;
}

}  // namespace tarnwick
