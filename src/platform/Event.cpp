#include "platform/Event.h"

namespace tarnwick {

void TEvent::SetEvent() {
  {
    std::lock_guard lock(Mutex);
    Signalled = true;
  }
  Signal.notify_one();
}

void TEvent::WaitFor() {
  std::unique_lock lock(Mutex);
  Signal.wait(lock, [this] { return Signalled; });
  Signalled = false;
}

bool TEvent::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(Mutex);
  if (!Signal.wait_for(lock, timeout, [this] { return Signalled; })) return false;
  Signalled = false;
  return true;
}

}  // namespace tarnwick
