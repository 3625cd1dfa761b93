#pragma once
// TUiHandOver: lets a connection thread run a piece of work on the user-interface thread and wait
// for it, without ever blocking on a user-interface thread that has stopped.
//
// The user-interface side supplies `wake`, which must arrange for RunPending() to be called on that
// thread soon (a queued call into its event loop); `wake` is only ever called with the hand-over's
// lock held, so once Close() has returned it is never called again. Close() before the event loop
// and what the work touches go away: waiting threads are released and further work is refused.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarnwick {

class TUiHandOver {
 public:
  // Constructed on the user-interface thread.
  explicit TUiHandOver(std::function<void()> wake);
  TUiHandOver(const TUiHandOver&) = delete;
  TUiHandOver& operator=(const TUiHandOver&) = delete;

  // Any thread. Runs `work` on the user-interface thread and returns true once it has run; false,
  // without running it, when the hand-over is closed. On the user-interface thread itself the work
  // runs at once.
  bool RunAndWait(const std::function<void()>& work);

  // User-interface thread: runs the work queued so far.
  void RunPending();
  // User-interface thread: refuses further work and releases every waiting thread; queued work is
  // dropped unrun.
  void Close();

 private:
  struct TJob {
    const std::function<void()>* Work;
    bool Done = false;
  };

  const std::thread::id UiThread;
  const std::function<void()> Wake;
  std::mutex Mutex;
  std::condition_variable Finished;
  std::deque<TJob*> Queue;  // guarded by Mutex; jobs live on their waiting threads' stacks
  bool Closed = false;      // guarded by Mutex
};

}  // namespace tarnwick
