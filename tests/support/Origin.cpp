#include "support/Origin.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace tarnwick::test {

TOrigin::TOrigin(std::string response, int port, const std::string& host) : Response(std::move(response)) {
  const bool v6 = host.find(':') != std::string::npos;
  Listener = TRawSocket(::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int on = 1;
  setsockopt(Listener.Handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (v6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&address);
    a->sin6_family = AF_INET6;
    a->sin6_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET6, host.c_str(), &a->sin6_addr);
    length = sizeof(sockaddr_in6);
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&address);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &a->sin_addr);
    length = sizeof(sockaddr_in);
  }
  if (::bind(Listener.Handle, reinterpret_cast<sockaddr*>(&address), length) < 0 || ::listen(Listener.Handle, 64) < 0) {
    Listener.Close();
    return;
  }
  ::getsockname(Listener.Handle, reinterpret_cast<sockaddr*>(&address), &length);
  ListenPort = v6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                  : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  Acceptor = std::thread([this] { AcceptLoop(); });
}

TOrigin::~TOrigin() {
  Stopping = true;
  if (Listener.Valid()) ::shutdown(Listener.Handle, SHUT_RDWR);
  if (Acceptor.joinable()) Acceptor.join();
  for (auto& worker : Workers) worker.join();
}

void TOrigin::SetResponse(std::string response) {
  std::lock_guard lock(Mutex);
  Response = std::move(response);
}

int TOrigin::Connections() const {
  std::lock_guard lock(Mutex);
  return static_cast<int>(Requests.size());
}

std::string TOrigin::Received(size_t n) {
  std::unique_lock lock(Mutex);
  Changed.wait_for(lock, std::chrono::seconds(5), [&] { return n < Complete.size() && Complete[n]; });
  return n < Requests.size() ? Requests[n] : "<no connection>";
}

void TOrigin::AcceptLoop() {
  while (!Stopping) {
    const int handle = ::accept4(Listener.Handle, nullptr, nullptr, SOCK_CLOEXEC);
    if (handle < 0) {
      if (Stopping) return;
      continue;
    }
    size_t index = 0;
    {
      std::lock_guard lock(Mutex);
      index = Requests.size();
      Requests.emplace_back();
      Complete.push_back(false);
    }
    Workers.emplace_back(
        [this, connection = TRawSocket(handle), index]() mutable { Serve(std::move(connection), index); });
  }
}

void TOrigin::Serve(TRawSocket connection, size_t index) {
  std::string received;
  bool answered = false;
  char chunk[8192];
  // Bounded: a proxy that never closes its side fails the test instead of hanging it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!Stopping && std::chrono::steady_clock::now() < deadline) {
    pollfd watch{connection.Handle, POLLIN, 0};
    if (poll(&watch, 1, 50) <= 0) continue;
    const ssize_t got = ::recv(connection.Handle, chunk, sizeof chunk, 0);
    if (got <= 0) break;
    received.append(chunk, static_cast<size_t>(got));
    {
      std::lock_guard lock(Mutex);
      Requests[index] = received;
    }
    if (!answered && received.find("\r\n\r\n") != std::string::npos) {
      std::string response;
      {
        std::lock_guard lock(Mutex);
        response = Response;
      }
      try {
        connection.Send(response);
      } catch (const std::runtime_error&) {
        break;  // the proxy went away mid-answer (its client left): nothing more to serve
      }
      if (!KeepConnectionsOpen) connection.ShutdownWrite();
      answered = true;
    }
  }
  std::lock_guard lock(Mutex);
  Requests[index] = received;
  Complete[index] = true;
  Changed.notify_all();
}

}  // namespace tarnwick::test
