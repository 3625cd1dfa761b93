#pragma once
// TCustomWinSocket: one blocking TCP socket handle (IPv4 or IPv6), owned. The base of TSockStream.
//
// Every failing call raises ESocketError carrying its Windows Sockets code (SocketError.h).
//
// Thread use: one thread at a time, except Shutdown(), which any thread may call to wake a thread
// blocked in AcceptHandle() or ReceiveBuf() on this socket; the handle itself is closed only by the
// owner (Close() or destruction), never under another thread's feet.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

struct sockaddr_storage;

namespace tarnwick {

class TCustomWinSocket {
 public:
  explicit TCustomWinSocket(int handle = -1);
  virtual ~TCustomWinSocket();
  TCustomWinSocket(const TCustomWinSocket&) = delete;
  TCustomWinSocket& operator=(const TCustomWinSocket&) = delete;

  // Connects to `host` (an address of either family, or a name for the system resolver) on `port`.
  void Open(const std::string& host, int port);
  // Binds to `name` resolved, else `address` parsed (either family), else any IPv4 address;
  // listens. Port: low 16 bits. An IPv6 socket listens for IPv6 only.
  void Listen(const std::string& name, const std::string& address, int port, int backlog);
  // Closes the handle. A failing close raises after the handle is released.
  void Close();
  // Stops all reception and sending; a thread blocked in accept or receive returns at once.
  void Shutdown();
  // Tells the peer that nothing more will be sent (half-close); receiving goes on. Never raises.
  void ShutdownSending();

  // Address of the peer as text (SocketAddress.h); empty when not connected.
  std::string RemoteAddress();
  // Address and port this socket is bound to locally (e.g. after listening on port 0).
  std::string LocalAddress() const;
  int LocalPort() const;

  bool Connected() const { return IsConnected.load(std::memory_order_acquire); }
  bool IsOpen() const { return Handle >= 0; }
  bool IsShutDown() const { return ShutDownRequested.load(std::memory_order_acquire); }

  // Bytes received (0 at end of stream); raises ESocketError on failure.
  int ReceiveBuf(void* buffer, int count);
  // Bytes sent, all of `count` unless the connection failed part-way; raises ESocketError when
  // nothing could be sent.
  int SendBuf(const void* buffer, int count);
  // Waits for one connection; returns its handle and fills `peer`, or -1 with the code in
  // `errorCode`.
  int AcceptHandle(int& errorCode, sockaddr_storage& peer);

  // A receive or send that makes no progress for `ms` fails with a time-out (and reads as the end
  // of the stream); 0: wait for ever. Kept by the system, so it holds for every kind of transfer;
  // on a listening socket it is handed to the sockets it accepts (and bounds a blocking accept).
  void SetIdleTimeout(int ms);
  // Receives also fail with a time-out once `deadline` has passed, however the bytes trickle in.
  void SetReadDeadline(std::chrono::steady_clock::time_point deadline);
  void ClearReadDeadline() { HasDeadline = false; }
  // Whether a receive has failed for the idle time or the deadline.
  bool TimedOut() const { return ReadTimedOut; }
  // Probes a silent peer, so that one that vanished without a word is noticed within minutes. On a
  // listening socket: for every socket it accepts.
  void EnableKeepAlive();
  // The coming Close sends a reset instead of an orderly end, so that the peer sees an error.
  void ResetOnClose();
  // Reads and throws away what has already arrived, without waiting.
  void DiscardPending();

  std::mutex& Lock() { return SocketLock; }
  int NativeHandle() const { return Handle; }

 protected:
  // Takes `handle`, just accepted by `listener` from `peer`. The system has copied the listener's
  // options to it, so they are not set again; its peer and local port are known without asking.
  void AdoptAccepted(int handle, const TCustomWinSocket& listener, const sockaddr_storage& peer);

  int Handle;

 private:
  // While a deadline is set: waits until a receive would not block; false when the idle time or
  // the deadline ran out.
  bool WaitBeforeDeadline();

  // Forgets what was known of the previous handle's options and addresses.
  void ForgetHandleState();

  int IdleMs = 0;
  // What the system holds for the handle, so that a request asking for the same costs no call.
  int SystemIdleMs = 0;
  bool KeepAliveOn = false;
  int KnownLocalPort = 0;  // 0: ask the system
  std::string KnownPeer;   // empty: ask the system
  bool HasDeadline = false;
  bool ReadTimedOut = false;
  std::chrono::steady_clock::time_point Deadline;
  std::atomic<bool> IsConnected{false};
  std::atomic<bool> ShutDownRequested{false};
  std::mutex SocketLock;  // held by accept; the stream's own thread is its only other user
};

// Waits until one of the sockets has bytes to read, or an end or error to report. Either may be
// null (not watched). Returns a bit set: 1 for `first`, 2 for `second`; 0 when neither is open or
// `timeoutMs` (negative: no limit) passed first.
int WaitReadable(const TCustomWinSocket* first, const TCustomWinSocket* second, int timeoutMs = -1);

// Parses a dotted IPv4 address; false when `text` is not one.
bool ParseDottedAddress(const std::string& text, std::uint32_t& networkOrder);

}  // namespace tarnwick
