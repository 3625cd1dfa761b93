#pragma once
// A running proxy between a raw test client and a scripted loopback origin, with its access log
// written to a temporary file through a stand-in user-interface thread.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/FilterProxy.h"
#include "prefs/Prefs.h"
#include "support/Origin.h"
#include "support/UiThread.h"

namespace tarnwick::test {

class ProxyFixture : public ::testing::Test {
 protected:
  ProxyFixture();
  ~ProxyFixture() override;

  // Starts the proxy on a free loopback port with logging on, after `adjust` has had its say.
  void StartProxy(const std::function<void(TPrefsSettings&)>& adjust = {},
                  std::shared_ptr<const TFilterChain> filters = nullptr);
  // Changes the settings in force (the proxy keeps running).
  void Change(const std::function<void(TPrefsSettings&)>& adjust);
  // Sends raw bytes from a client socket (optionally bound to `from`) and returns all it gets back.
  std::string Ask(const std::string& request, const std::string& from = "");
  // "http://127.0.0.1:<origin port>" + path
  std::string OriginUrl(const std::string& path) const;
  // Everything the origin's first (or n-th) connection received.
  std::string OriginSaw(size_t n = 0) { return Origin.Received(n); }
  // The log's lines, once `count` are there (waits a little for the last connection's line).
  std::vector<std::string> LogLines(size_t count);

  std::shared_ptr<TCorvanePrefs> Prefs = std::make_shared<TCorvanePrefs>("+0100");
  TOrigin Origin;
  TTestUiThread UiThread;
  std::filesystem::path Directory;
  std::shared_ptr<TAccessLog> Log;
  std::unique_ptr<TFilterProxy> Proxy;
  int ProxyPort = 0;
  // How the next StartProxy's connections relay bodies that no filter reads.
  TRelayPath RelayPath = TRelayPath::ZeroCopyWherePossible;
};

}  // namespace tarnwick::test
