#pragma once
// Test vocabulary for real loopback sockets: a raw peer socket, connected stream pairs, and polls
// with a deadline instead of sleeps.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "engine/SockStream.h"

namespace tarnwick::test {

// A plain blocking socket for the test's side of a connection.
class TRawSocket {
 public:
  TRawSocket() = default;
  explicit TRawSocket(int handle) : Handle(handle) {}
  ~TRawSocket();
  TRawSocket(TRawSocket&& other) noexcept;
  TRawSocket& operator=(TRawSocket&& other) noexcept;

  bool Valid() const { return Handle >= 0; }
  void Send(const std::string& bytes);
  void ShutdownWrite();
  void Close();
  // Everything until the peer closes (or 60 s before the first byte, 5 s of silence after it).
  std::string ReceiveAll();
  // Up to `count` bytes, waiting at most 5 s for the first.
  std::string ReceiveSome(size_t count = 65536);
  int Handle = -1;
};

// Connects to host:port (IPv4, or IPv6 when `host` has a colon), optionally from a chosen local IPv4
// address; invalid socket when refused.
TRawSocket ConnectTo(int port, const std::string& host = "127.0.0.1", const std::string& from = "");

// A connected pair: `Stream` is the accepted side as the engine sees it, `Peer` the other end.
struct TStreamPair {
  std::unique_ptr<TSockStream> Stream;
  TRawSocket Peer;
};
TStreamPair MakeStreamPair(TCorvanePrefs* counters = nullptr);

// Polls `condition` until it holds or `timeout` passes; returns its last value.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace tarnwick::test
