#pragma once
// An auto-reset event: SetEvent wakes one waiter (or the next one to wait) and the event resets
// itself as that waiter passes. Safe to use from any thread.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tarnwick {

class TEvent {
 public:
  TEvent() = default;
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void SetEvent();
  void WaitFor();  // without time limit
  // Returns false when the time ran out with the event still unsignalled.
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  std::mutex Mutex;
  std::condition_variable Signal;
  bool Signalled = false;  // guarded by Mutex
};

}  // namespace tarnwick
