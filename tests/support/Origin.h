#pragma once
// TOrigin: a scripted origin server on 127.0.0.1 for the proxy's integration tests. Each connection
// gets the same canned response, sent as soon as the request head has arrived; everything the
// connection brought in is recorded once the peer closes it.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/Loopback.h"

namespace tarnwick::test {

class TOrigin {
 public:
  // `port` 0 lets the system choose; `host` is a numeric address of either family.
  explicit TOrigin(std::string response = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", int port = 0,
                   const std::string& host = "127.0.0.1");
  ~TOrigin();
  TOrigin(const TOrigin&) = delete;
  TOrigin& operator=(const TOrigin&) = delete;

  bool Listening() const { return Listener.Valid(); }
  int Port() const { return ListenPort; }
  void SetResponse(std::string response);
  // Leave connections open after answering, like a keep-alive server, until the peer closes.
  void KeepOpen(bool keep) { KeepConnectionsOpen = keep; }

  // Connections accepted so far.
  int Connections() const;
  // Everything the n-th connection received, once its peer has closed it (waits up to 5 s).
  std::string Received(size_t n = 0);

 private:
  void AcceptLoop();
  void Serve(TRawSocket connection, size_t index);

  TRawSocket Listener;
  int ListenPort = 0;
  std::atomic<bool> Stopping{false};
  std::atomic<bool> KeepConnectionsOpen{false};
  mutable std::mutex Mutex;
  std::condition_variable Changed;
  std::string Response;               // guarded by Mutex
  std::vector<std::string> Requests;  // guarded by Mutex
  std::vector<bool> Complete;         // guarded by Mutex
  std::vector<std::thread> Workers;   // accept thread only, joined at destruction
  std::thread Acceptor;
};

}  // namespace tarnwick::test
