#pragma once
// TTestUiThread: a stand-in user-interface thread for engine tests: it runs whatever the connection
// threads hand over, until destroyed.

#include <atomic>
#include <memory>
#include <thread>

#include "engine/UiHandOver.h"
#include "platform/Event.h"

namespace tarnwick::test {

class TTestUiThread {
 public:
  TTestUiThread();
  ~TTestUiThread();
  std::shared_ptr<TUiHandOver> HandOver() const { return Shared; }

 private:
  TEvent Wake;
  std::atomic<bool> Stopping{false};
  std::shared_ptr<TUiHandOver> Shared;
  std::thread Loop;
};

}  // namespace tarnwick::test
