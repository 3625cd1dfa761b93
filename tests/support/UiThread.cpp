#include "support/UiThread.h"

#include <future>

namespace tarnwick::test {

TTestUiThread::TTestUiThread() {
  // The hand-over must be made on the thread that runs it.
  std::promise<std::shared_ptr<TUiHandOver>> made;
  auto ready = made.get_future();
  Loop = std::thread([this, &made] {
    auto handOver = std::make_shared<TUiHandOver>([this] { Wake.SetEvent(); });
    made.set_value(handOver);
    while (!Stopping) {
      Wake.WaitFor();
      handOver->RunPending();
    }
    handOver->Close();
  });
  Shared = ready.get();
}

TTestUiThread::~TTestUiThread() {
  Stopping = true;
  Wake.SetEvent();
  Loop.join();
}

}  // namespace tarnwick::test
