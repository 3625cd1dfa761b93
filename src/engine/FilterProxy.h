#pragma once
// TFilterProxy: the proxy's listening server, one per process. TFilterProxyThread: the thread that
// serves one browser connection through its own TFilterProxyControl.
//
// Connection threads are detached. Each holds the shared context, so nothing it uses is freed under
// it when the server or the program goes away first; at exit the user-interface side closes the
// hand-over, so a thread that has yet to log is released instead of waiting for a loop that stopped.

#include <chrono>
#include <cstdint>
#include <memory>

#include "engine/AccessLog.h"
#include "engine/FilterChain.h"
#include "engine/FilterProxyControl.h"
#include "engine/SockServer.h"
#include "engine/UiHandOver.h"

namespace tarnwick {

class TCorvanePrefs;

// What the server shares with every connection thread.
struct TProxyContext {
  std::shared_ptr<TCorvanePrefs> Prefs;                      // never null
  std::shared_ptr<const TFilterChain> Filters;               // null: no filters at all
  std::shared_ptr<TUiHandOver> UiThread;                     // null: nothing is logged
  std::shared_ptr<TAccessLog> Log;                           // only touched through UiThread
  TRelayPath RelayPath = TRelayPath::ZeroCopyWherePossible;  // CopyOnly: the copy loop everywhere
};

class TFilterProxy : public TSockServer {
 public:
  // Takes its port from the settings in force.
  explicit TFilterProxy(TProxyContext context);
  ~TFilterProxy() override;

  // Listens on every address of both families when external access is allowed, else on 127.0.0.1
  // and ::1 only.
  void Start() override;

 protected:
  void ClientConnected(std::unique_ptr<TSockStream> client) override;
  int AcceptedIdleTimeoutMs() const override;

 private:
  // Answers a connection beyond the cap with a short 503 and closes it at once.
  void RefuseBusy(TSockStream& client, std::int32_t limit);
  // One stderr line per second at most, however hard the flood.
  void LogRefusals(std::int32_t limit);

  TProxyContext Context;
  // Accepting thread only.
  std::int64_t RefusedSinceLog = 0;
  std::chrono::steady_clock::time_point LastRefusalLog{};
};

class TFilterProxyThread : public TSockServerClientThread {
 public:
  TFilterProxyThread(const TProxyContext& context, std::unique_ptr<TSockStream> client);

 protected:
  void ClientExecute(TConnectionPool::TFinishing& finishing) override;

 private:
  // Hands this connection's log line to the user-interface thread and waits until it is written.
  void WriteLog();

  TProxyContext Context;
  std::unique_ptr<TFilterProxyControl> Control;
};

}  // namespace tarnwick
