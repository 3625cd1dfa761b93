#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/Exceptions.h"
#include "platform/SocketAddress.h"
#include "platform/SocketError.h"

namespace tarnwick {

namespace {

[[noreturn]] void RaiseFromErrno(std::string_view call) { RaiseSocketError(WinSockCodeFromErrno(errno), call); }

[[noreturn]] void ThrowTransferError(std::string_view call) {
  const int code = WinSockCodeFromErrno(errno);
  throw ESocketError("Socket error (" + std::to_string(code) + ") on '" + std::string(call) + "'", code,
                     std::string(call));
}

// connect() interrupted by a signal goes on in the background; wait for its outcome.
bool FinishInterruptedConnect(int handle) {
  pollfd watch{handle, POLLOUT, 0};
  while (poll(&watch, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) < 0) return false;
  errno = error;
  return error == 0;
}

void DisableNagle(int handle) {
  const int on = 1;
  setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

bool ParseDottedAddress(const std::string& text, std::uint32_t& networkOrder) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  networkOrder = parsed.s_addr;
  return true;
}

TCustomWinSocket::TCustomWinSocket(int handle) : Handle(handle) {
  if (Handle >= 0) {
    IsConnected.store(true, std::memory_order_release);
    DisableNagle(Handle);
  }
}

TCustomWinSocket::~TCustomWinSocket() {
  if (Handle >= 0) ::close(Handle);
}

void TCustomWinSocket::Open(const std::string& host, int port) {
  if (Handle >= 0) throw ESocketError("Can't open an open socket");
  // Every address the name stands for is tried in the resolver's order, so a host whose first
  // address is of a family this machine cannot reach is still found by the next one.
  int lastError = 0;
  for (const TSocketAddress& address : ResolveHost(host, port)) {
    const int handle = socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
      lastError = errno;
      continue;
    }
    if (::connect(handle, address.Get(), address.Length) == 0 || (errno == EINTR && FinishInterruptedConnect(handle))) {
      Handle = handle;
      ForgetHandleState();
      DisableNagle(Handle);
      IsConnected.store(true, std::memory_order_release);
      return;
    }
    lastError = errno;
    ::close(handle);
  }
  errno = lastError;
  RaiseFromErrno("connect");
}

void TCustomWinSocket::Listen(const std::string& name, const std::string& address, int port, int backlog) {
  if (Handle >= 0) throw ESocketError("Can't listen on an open socket");
  TSocketAddress local;
  if (!name.empty()) {
    local = ResolveHost(name, port).front();
  } else if (address.empty()) {
    ParseNumericAddress("0.0.0.0", port, local);
  } else if (!ParseNumericAddress(address, port, local)) {
    RaiseSocketError(wsa::kAddressNotAvailable, "inet_addr");
  }
  const int handle = socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0) RaiseFromErrno("socket");
  // Lets a restarted server bind again while connections of the previous one sit in TIME_WAIT;
  // on Linux it never lets two sockets listen on the same port.
  const int on = 1;
  setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  // An IPv6 socket takes IPv6 only, so that the IPv4 side of the same port can be a socket of its
  // own, whatever the system's default for dual-stack sockets.
  if (local.Family() == AF_INET6) setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  const char* failedCall = nullptr;
  if (::bind(handle, local.Get(), local.Length) < 0) {
    failedCall = "bind";
  } else if (::listen(handle, backlog) < 0) {
    failedCall = "listen";
  }
  if (failedCall != nullptr) {
    const int saved = errno;
    ::close(handle);
    errno = saved;
    RaiseFromErrno(failedCall);
  }
  Handle = handle;
  ForgetHandleState();
  // Set once here, the accepted sockets inherit it.
  DisableNagle(Handle);
  KnownLocalPort = LocalPort();
}

void TCustomWinSocket::AdoptAccepted(int handle, const TCustomWinSocket& listener, const sockaddr_storage& peer) {
  Handle = handle;
  ForgetHandleState();
  // Linux copies the listening socket's options (TCP_NODELAY, the time-outs, keep-alive and its
  // timing) into every socket it accepts: setting them again would cost calls per connection.
  SystemIdleMs = IdleMs = listener.SystemIdleMs;
  KeepAliveOn = listener.KeepAliveOn;
  KnownLocalPort = listener.KnownLocalPort;
  KnownPeer = AddressText(reinterpret_cast<const sockaddr*>(&peer));
  IsConnected.store(true, std::memory_order_release);
}

void TCustomWinSocket::ForgetHandleState() {
  SystemIdleMs = 0;
  KeepAliveOn = false;
  KnownLocalPort = 0;
  KnownPeer.clear();
}

void TCustomWinSocket::Close() {
  if (Handle < 0) return;
  const int handle = Handle;
  Handle = -1;
  IsConnected.store(false, std::memory_order_release);
  if (::close(handle) < 0 && errno != EINTR) RaiseFromErrno("closesocket");
}

void TCustomWinSocket::Shutdown() {
  ShutDownRequested.store(true, std::memory_order_release);
  if (Handle >= 0) ::shutdown(Handle, SHUT_RDWR);
}

void TCustomWinSocket::ShutdownSending() {
  if (Handle >= 0) ::shutdown(Handle, SHUT_WR);
}

int WaitReadable(const TCustomWinSocket* first, const TCustomWinSocket* second, int timeoutMs) {
  pollfd watch[2];
  int bits[2];
  nfds_t count = 0;
  for (const auto& [socket, bit] : {std::pair{first, 1}, std::pair{second, 2}}) {
    if (socket == nullptr || !socket->IsOpen()) continue;
    watch[count] = pollfd{socket->NativeHandle(), POLLIN, 0};
    bits[count++] = bit;
  }
  if (count == 0) return 0;
  int polled = 0;
  while ((polled = ::poll(watch, count, timeoutMs)) < 0) {
    if (errno != EINTR) return bits[0] | (count > 1 ? bits[1] : 0);  // let the reads find the fault
  }
  if (polled == 0) return 0;
  int ready = 0;
  for (nfds_t i = 0; i < count; ++i) {
    if (watch[i].revents != 0) ready |= bits[i];
  }
  return ready;
}

std::string TCustomWinSocket::RemoteAddress() {
  if (Handle < 0 || !Connected()) return {};
  if (!KnownPeer.empty()) return KnownPeer;
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(Handle, reinterpret_cast<sockaddr*>(&peer), &length) < 0) {
    RaiseFromErrno("getpeername");
  }
  return AddressText(reinterpret_cast<const sockaddr*>(&peer));
}

std::string TCustomWinSocket::LocalAddress() const {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (Handle < 0 || ::getsockname(Handle, reinterpret_cast<sockaddr*>(&local), &length) < 0) return {};
  return AddressText(reinterpret_cast<const sockaddr*>(&local));
}

int TCustomWinSocket::LocalPort() const {
  if (Handle >= 0 && KnownLocalPort != 0) return KnownLocalPort;
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  if (Handle < 0 || ::getsockname(Handle, reinterpret_cast<sockaddr*>(&local), &length) < 0) return 0;
  return AddressPort(reinterpret_cast<const sockaddr*>(&local));
}

void TCustomWinSocket::SetIdleTimeout(int ms) {
  IdleMs = ms > 0 ? ms : 0;
  if (Handle < 0 || IdleMs == SystemIdleMs) return;
  SystemIdleMs = IdleMs;
  timeval limit{IdleMs / 1000, (IdleMs % 1000) * 1000};
  setsockopt(Handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(Handle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void TCustomWinSocket::SetReadDeadline(std::chrono::steady_clock::time_point deadline) {
  Deadline = deadline;
  HasDeadline = true;
}

void TCustomWinSocket::EnableKeepAlive() {
  if (Handle < 0 || KeepAliveOn) return;
  KeepAliveOn = true;
  // First probe after a minute of silence, then every 10 s; six unanswered probes end it.
  const int on = 1, idle = 60, interval = 10, count = 6;
  setsockopt(Handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(Handle, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(Handle, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(Handle, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

void TCustomWinSocket::ResetOnClose() {
  if (Handle < 0) return;
  const linger abortive{1, 0};
  setsockopt(Handle, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}

void TCustomWinSocket::DiscardPending() {
  if (Handle < 0) return;
  char scrap[4096];
  for (int round = 0; round < 16; ++round) {
    if (::recv(Handle, scrap, sizeof scrap, MSG_DONTWAIT) <= 0) return;
  }
}

bool TCustomWinSocket::WaitBeforeDeadline() {
  using namespace std::chrono;
  if (!HasDeadline) return true;
  for (;;) {
    const auto left = duration_cast<milliseconds>(Deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    const int waitMs = IdleMs > 0 && IdleMs < left ? IdleMs : static_cast<int>(std::min<std::int64_t>(left, INT32_MAX));
    pollfd watch{Handle, POLLIN, 0};
    const int ready = ::poll(&watch, 1, waitMs);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // let the receive itself report the failure
  }
}

int TCustomWinSocket::ReceiveBuf(void* buffer, int count) {
  if (Handle < 0) throw ESocketError("Socket is not open", wsa::kNotSocket, "recv");
  // Bytes that are already there need no wait for the deadline: most heads come in one piece.
  if (HasDeadline) {
    const ssize_t got = ::recv(Handle, buffer, static_cast<size_t>(count), MSG_DONTWAIT);
    if (got >= 0) return static_cast<int>(got);
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) ThrowTransferError("recv");
  }
  if (!WaitBeforeDeadline()) {
    ReadTimedOut = true;
    errno = ETIMEDOUT;
    ThrowTransferError("recv");
  }
  for (;;) {
    const ssize_t got = ::recv(Handle, buffer, static_cast<size_t>(count), 0);
    if (got >= 0) return static_cast<int>(got);
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      ReadTimedOut = true;  // the idle time ran out
      errno = ETIMEDOUT;
    }
    if (errno != EINTR) ThrowTransferError("recv");
  }
}

int TCustomWinSocket::SendBuf(const void* buffer, int count) {
  if (Handle < 0) throw ESocketError("Socket is not open", wsa::kNotSocket, "send");
  const auto* bytes = static_cast<const char*>(buffer);
  int sent = 0;
  while (sent < count) {
    const ssize_t done = ::send(Handle, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
    if (done > 0) {
      sent += static_cast<int>(done);
    } else if (done < 0 && errno == EINTR) {
      continue;
    } else if (sent > 0) {
      break;
    } else {
      if (errno == EAGAIN || errno == EWOULDBLOCK) errno = ETIMEDOUT;  // the idle time ran out
      ThrowTransferError("send");
    }
  }
  return sent;
}

int TCustomWinSocket::AcceptHandle(int& errorCode, sockaddr_storage& peer) {
  errorCode = 0;
  if (Handle < 0) {
    errorCode = wsa::kNotSocket;
    return -1;
  }
  for (;;) {
    socklen_t length = sizeof peer;
    const int accepted = ::accept4(Handle, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (accepted >= 0) return accepted;
    if (errno == EINTR) continue;
    errorCode = WinSockCodeFromErrno(errno);
    return -1;
  }
}

}  // namespace tarnwick
