#include "support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <utility>

namespace tarnwick::test {

namespace {

sockaddr_in Address(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  return address;
}

bool WaitReadable(int handle, int timeoutMs) {
  pollfd watch{handle, POLLIN, 0};
  return poll(&watch, 1, timeoutMs) > 0;
}

}  // namespace

TRawSocket::~TRawSocket() { Close(); }

TRawSocket::TRawSocket(TRawSocket&& other) noexcept : Handle(std::exchange(other.Handle, -1)) {}

TRawSocket& TRawSocket::operator=(TRawSocket&& other) noexcept {
  if (this != &other) {
    Close();
    Handle = std::exchange(other.Handle, -1);
  }
  return *this;
}

void TRawSocket::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t done = ::send(Handle, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (done <= 0) throw std::runtime_error("test peer: send failed");
    sent += static_cast<size_t>(done);
  }
}

void TRawSocket::ShutdownWrite() { ::shutdown(Handle, SHUT_WR); }

void TRawSocket::Close() {
  if (Handle >= 0) ::close(std::exchange(Handle, -1));
}

std::string TRawSocket::ReceiveAll() {
  std::string all;
  char chunk[16384];
  // The first byte may come late: a page the proxy collects whole (16 MiB for the word analysis)
  // takes seconds under a sanitizer on a busy machine before anything is sent.
  int waitMs = 60000;
  for (; WaitReadable(Handle, waitMs); waitMs = 5000) {
    const ssize_t got = ::recv(Handle, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    all.append(chunk, static_cast<size_t>(got));
  }
  return all;
}

std::string TRawSocket::ReceiveSome(size_t count) {
  std::string some(count, '\0');
  if (!WaitReadable(Handle, 5000)) return {};
  const ssize_t got = ::recv(Handle, some.data(), count, 0);
  some.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return some;
}

TRawSocket ConnectTo(int port, const std::string& host, const std::string& from) {
  if (host.find(':') != std::string::npos) {
    TRawSocket socket(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in6 remote{};
    remote.sin6_family = AF_INET6;
    remote.sin6_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET6, host.c_str(), &remote.sin6_addr);
    if (::connect(socket.Handle, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) < 0) return {};
    return socket;
  }
  TRawSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!from.empty()) {
    const sockaddr_in local = Address(from, 0);
    if (::bind(socket.Handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) < 0) return {};
  }
  const sockaddr_in remote = Address(host, port);
  if (::connect(socket.Handle, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) < 0) return {};
  return socket;
}

TStreamPair MakeStreamPair(TCorvanePrefs* counters) {
  TRawSocket listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in any = Address("127.0.0.1", 0);
  if (::bind(listener.Handle, reinterpret_cast<const sockaddr*>(&any), sizeof any) < 0 ||
      ::listen(listener.Handle, 1) < 0) {
    throw std::runtime_error("test listener failed");
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listener.Handle, reinterpret_cast<sockaddr*>(&bound), &length);
  TStreamPair pair;
  pair.Peer = ConnectTo(ntohs(bound.sin_port));
  const int accepted = ::accept4(listener.Handle, nullptr, nullptr, SOCK_CLOEXEC);
  if (!pair.Peer.Valid() || accepted < 0) throw std::runtime_error("test connection failed");
  pair.Stream = std::make_unique<TSockStream>(counters, accepted);
  return pair;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace tarnwick::test
