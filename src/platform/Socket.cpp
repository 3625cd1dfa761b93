#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "platform/Exceptions.h"
#include "platform/SocketError.h"

namespace tarnwick {

namespace {

[[noreturn]] void RaiseFromErrno(std::string_view call) {
  RaiseSocketError(WinSockCodeFromErrno(errno), call);
}

[[noreturn]] void ThrowTransferError(std::string_view call) {
  const int code = WinSockCodeFromErrno(errno);
  throw ESocketError("Socket error (" + std::to_string(code) + ") on '" + std::string(call) + "'",
                     code, std::string(call));
}

sockaddr_in MakeAddress(std::uint32_t networkOrderAddress, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = networkOrderAddress;
  address.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  return address;
}

// A name that neither parses nor resolves is reported with the resolver's code, so that the
// user sees "Host not found" rather than a connection attempt to some unrelated address.
std::uint32_t ResolveHost(const std::string& host) {
  std::uint32_t address = 0;
  if (ParseDottedAddress(host, address)) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    RaiseSocketError(WinSockCodeFromResolver(rc != 0 ? rc : EAI_NONAME), "gethostbyname");
  }
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return address;
}

int NewTcpSocket() {
  const int handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0) RaiseFromErrno("socket");
  return handle;
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
  const sockaddr_in address = MakeAddress(ResolveHost(host), port);
  Handle = NewTcpSocket();
  if (::connect(Handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
    if (errno != EINTR || !FinishInterruptedConnect(Handle)) {
      const int saved = errno;
      ::close(Handle);
      Handle = -1;
      errno = saved;
      RaiseFromErrno("connect");
    }
  }
  DisableNagle(Handle);
  IsConnected.store(true, std::memory_order_release);
}

void TCustomWinSocket::Listen(const std::string& name, const std::string& address, int port,
                              int backlog) {
  if (Handle >= 0) throw ESocketError("Can't listen on an open socket");
  std::uint32_t bindAddress = htonl(INADDR_ANY);
  if (!name.empty()) {
    bindAddress = ResolveHost(name);
  } else if (!address.empty() && !ParseDottedAddress(address, bindAddress)) {
    RaiseSocketError(wsa::kAddressNotAvailable, "inet_addr");
  }
  const int handle = NewTcpSocket();
  // Lets a restarted server bind again while connections of the previous one sit in TIME_WAIT;
  // on Linux it never lets two sockets listen on the same port.
  const int on = 1;
  setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in local = MakeAddress(bindAddress, port);
  const char* failedCall = nullptr;
  if (::bind(handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) {
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

std::string TCustomWinSocket::RemoteAddress() {
  if (Handle < 0 || !Connected()) return {};
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(Handle, reinterpret_cast<sockaddr*>(&peer), &length) < 0) {
    RaiseFromErrno("getpeername");
  }
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  return text;
}

std::string TCustomWinSocket::LocalAddress() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (Handle < 0 || ::getsockname(Handle, reinterpret_cast<sockaddr*>(&local), &length) < 0) return {};
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
  return text;
}

int TCustomWinSocket::LocalPort() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (Handle < 0 || ::getsockname(Handle, reinterpret_cast<sockaddr*>(&local), &length) < 0) return 0;
  return ntohs(local.sin_port);
}

int TCustomWinSocket::ReceiveBuf(void* buffer, int count) {
  if (Handle < 0) throw ESocketError("Socket is not open", wsa::kNotSocket, "recv");
  for (;;) {
    const ssize_t got = ::recv(Handle, buffer, static_cast<size_t>(count), 0);
    if (got >= 0) return static_cast<int>(got);
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
      ThrowTransferError("send");
    }
  }
  return sent;
}

int TCustomWinSocket::AcceptHandle(int& errorCode) {
  errorCode = 0;
  if (Handle < 0) {
    errorCode = wsa::kNotSocket;
    return -1;
  }
  for (;;) {
    const int accepted = ::accept4(Handle, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted >= 0) return accepted;
    if (errno == EINTR) continue;
    errorCode = WinSockCodeFromErrno(errno);
    return -1;
  }
}

}  // namespace tarnwick
