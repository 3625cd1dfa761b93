#include "engine/UiHandOver.h"

namespace tarnwick {

TUiHandOver::TUiHandOver(std::function<void()> wake) : UiThread(std::this_thread::get_id()), Wake(std::move(wake)) {}

bool TUiHandOver::RunAndWait(const std::function<void()>& work) {
  if (std::this_thread::get_id() == UiThread) {
    {
      std::lock_guard lock(Mutex);
      if (Closed) return false;
    }
    work();
    return true;
  }
  TJob job{&work};
  std::unique_lock lock(Mutex);
  if (Closed) return false;
  Queue.push_back(&job);
  Wake();
  Finished.wait(lock, [&] { return job.Done || Closed; });
  return job.Done;
}

void TUiHandOver::RunPending() {
  std::unique_lock lock(Mutex);
  while (!Queue.empty() && !Closed) {
    TJob* job = Queue.front();
    Queue.pop_front();
    lock.unlock();
    try {
      (*job->Work)();
    } catch (...) {
      // The work is any caller's code, so anything may come out of it; whatever it is, it must not
      // leave the event loop or keep the waiting thread from being released.
    }
    lock.lock();
    job->Done = true;
    Finished.notify_all();
  }
}

void TUiHandOver::Close() {
  {
    std::lock_guard lock(Mutex);
    Closed = true;
    Queue.clear();
  }
  Finished.notify_all();
}

}  // namespace tarnwick
