// origin_server: a small HTTP/1.1 origin for loopback load runs and end-to-end checks.
//
//   origin_server PORT [LIFETIME_SECONDS]
//
// Listens on 127.0.0.1 only. PORT 0 lets the kernel pick one; the chosen port is always announced
// as "listening on PORT" on stdout so scripts can wait for that line. It serves
//   /5k    5120 bytes of text/html
//   /20m   20 MiB of application/octet-stream, built once at start-up
//   /echo  POST only: the request body comes back as the response body
// and 404 for anything else. Keep-alive follows the client's protocol version and its Connection
// header. "Expect: 100-continue" gets no interim answer, as from an HTTP/1.0 server: the client
// sends its body after its own wait. The server ends on SIGTERM or SIGINT, or by itself after
// LIFETIME_SECONDS (default one hour), so a script that forgets it does not leave it running.
//
// One detached thread per connection. Each connection has receive and send timeouts, and the number
// of live connections is capped, so neither an idle keep-alive client nor a flood can pin the
// process down.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

namespace {

constexpr std::size_t kPageSize = 5120;
constexpr std::size_t kLargeSize = 20u * 1024u * 1024u;
constexpr std::size_t kMaxHeadSize = 64 * 1024;
constexpr std::size_t kMaxBodySize = 64u * 1024u * 1024u;
constexpr int kMaxConnections = 1024;
constexpr int kIoTimeoutSeconds = 30;
constexpr int kDefaultLifetimeSeconds = 3600;

// Owns one descriptor; closes it exactly once.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }

 private:
  const int fd_;
};

// Both bodies are built before the first connection and only read afterwards, so connection
// threads share them without a lock.
struct Bodies {
  std::string Page;
  std::string Large;
};

std::string BuildPage() {
  std::string page = "<!DOCTYPE html>\n<html><head><title>Loopback test page</title></head>\n<body>\n";
  const std::string tail = "</body></html>\n";
  for (int line = 0;; ++line) {
    const std::string paragraph =
        "<p>Paragraph " + std::to_string(line) + " of the loopback test page, padding it to a fixed size.</p>\n";
    if (page.size() + paragraph.size() + tail.size() > kPageSize) break;
    page += paragraph;
  }
  page.resize(kPageSize - tail.size(), ' ');
  page += tail;
  return page;
}

// A pattern that does not repeat every few bytes, so a relay that drops or duplicates a block
// changes the checksum.
std::string BuildLarge() {
  std::string large(kLargeSize, '\0');
  std::uint32_t state = 2463534242u;
  for (std::size_t i = 0; i < large.size(); ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    large[i] = static_cast<char>(state & 0xFF);
  }
  return large;
}

// Sends head and body with one writev where the kernel takes it, so a small response leaves in a
// single segment and keep-alive latency does not depend on Nagle's algorithm.
bool SendResponse(int fd, const std::string& head, std::string_view body) {
  iovec parts[2] = {{const_cast<char*>(head.data()), head.size()}, {const_cast<char*>(body.data()), body.size()}};
  iovec* next = parts;
  int count = body.empty() ? 1 : 2;
  while (count > 0) {
    const ssize_t sent = ::writev(fd, next, count);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    std::size_t done = static_cast<std::size_t>(sent);
    while (count > 0 && done >= next->iov_len) {
      done -= next->iov_len;
      ++next;
      --count;
    }
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + done;
      next->iov_len -= done;
    }
  }
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool ContainsTokenNoCase(std::string_view list, std::string_view token) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view item = list.substr(start, end - start);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (EqualsNoCase(item, token)) return true;
    start = end + 1;
  }
  return false;
}

// Owns its texts: the read buffer may grow (and move) while the body is read.
struct Request {
  std::string Method;
  std::string Path;
  bool KeepAlive = false;
  bool Chunked = false;
  bool BadLength = false;
  std::size_t ContentLength = 0;
};

// Parses a complete head (request line and headers, without the blank line). An absolute-form
// target is reduced to its path, so the server also answers a client that talks to it as if it
// were a proxy.
bool ParseHead(std::string_view head, Request& request) {
  std::size_t lineEnd = head.find("\r\n");
  std::string_view line = head.substr(0, lineEnd);
  const std::size_t firstSpace = line.find(' ');
  const std::size_t lastSpace = line.rfind(' ');
  if (firstSpace == std::string_view::npos || lastSpace == firstSpace) return false;
  request.Method = line.substr(0, firstSpace);
  std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  const std::string_view version = line.substr(lastSpace + 1);
  if (version.substr(0, 5) != "HTTP/") return false;
  if (target.substr(0, 7) == "http://") {
    const std::size_t slash = target.find('/', 7);
    target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
  }
  request.Path = std::string(target.substr(0, target.find('?')));
  request.KeepAlive = version == "HTTP/1.1";

  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    line = head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
      value.remove_prefix(1);
    }
    if (EqualsNoCase(name, "Content-Length")) {
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), request.ContentLength);
      request.BadLength = error != std::errc() || end == value.data();
    } else if (EqualsNoCase(name, "Connection")) {
      if (ContainsTokenNoCase(value, "close")) request.KeepAlive = false;
      if (ContainsTokenNoCase(value, "keep-alive")) request.KeepAlive = true;
    } else if (EqualsNoCase(name, "Transfer-Encoding")) {
      request.Chunked = ContainsTokenNoCase(value, "chunked");
    }
  }
  return true;
}

std::string MakeHead(int status, std::string_view reason, std::string_view type, std::size_t length, bool keepAlive) {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " ";
  head.append(reason);
  head += "\r\nServer: origin_server\r\nContent-Type: ";
  head.append(type);
  head += "\r\nContent-Length: " + std::to_string(length);
  head += keepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n";
  return head;
}

// Reads more bytes into `buffer`; false on end of stream, error or timeout.
bool ReadMore(int fd, std::string& buffer) {
  char chunk[16384];
  for (;;) {
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(got));
    return true;
  }
}

std::atomic<int> liveConnections{0};

void ServeConnection(int rawFd, const Bodies& bodies) {
  const FileDescriptor fd(rawFd);
  std::string buffer;
  bool keepAlive = true;
  while (keepAlive) {
    std::size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (buffer.size() > kMaxHeadSize || !ReadMore(fd.Get(), buffer)) return;
    }
    Request request;
    if (!ParseHead(std::string_view(buffer).substr(0, headEnd), request)) {
      SendResponse(fd.Get(), MakeHead(400, "Bad Request", "text/plain", 0, false), {});
      return;
    }
    if (request.Chunked || request.BadLength || request.ContentLength > kMaxBodySize) {
      // Without a usable length the body cannot be skipped, so the connection cannot go on.
      SendResponse(fd.Get(), MakeHead(411, "Length Required", "text/plain", 0, false), {});
      return;
    }
    const std::size_t bodyStart = headEnd + 4;
    while (buffer.size() - bodyStart < request.ContentLength) {
      if (!ReadMore(fd.Get(), buffer)) return;
    }
    keepAlive = request.KeepAlive;
    const bool isHead = request.Method == "HEAD";
    const bool isGet = request.Method == "GET" || isHead;
    std::string_view body;
    std::string head;
    if (request.Path == "/5k" && isGet) {
      body = bodies.Page;
      head = MakeHead(200, "OK", "text/html", body.size(), keepAlive);
    } else if (request.Path == "/20m" && isGet) {
      body = bodies.Large;
      head = MakeHead(200, "OK", "application/octet-stream", body.size(), keepAlive);
    } else if (request.Path == "/echo" && request.Method == "POST") {
      body = std::string_view(buffer).substr(bodyStart, request.ContentLength);
      head = MakeHead(200, "OK", "application/octet-stream", body.size(), keepAlive);
    } else if (request.Path == "/5k" || request.Path == "/20m" || request.Path == "/echo") {
      body = "Method not allowed\n";
      head = MakeHead(405, "Method Not Allowed", "text/plain", body.size(), keepAlive);
    } else {
      body = "Not found\n";
      head = MakeHead(404, "Not Found", "text/plain", body.size(), keepAlive);
    }
    if (!SendResponse(fd.Get(), head, isHead ? std::string_view() : body)) return;
    buffer.erase(0, bodyStart + request.ContentLength);
  }
}

int OpenListener(unsigned short port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1024) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

unsigned short BoundPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

void AcceptLoop(int listener, const Bodies& bodies) {
  const timeval timeout{kIoTimeoutSeconds, 0};
  const int on = 1;
  for (;;) {
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      std::fprintf(stderr, "origin_server: accept: %s\n", std::strerror(errno));
      return;
    }
    if (liveConnections.load() >= kMaxConnections) {
      ::close(client);
      continue;
    }
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ++liveConnections;
    try {
      std::thread([client, &bodies] {
        ServeConnection(client, bodies);
        --liveConnections;
      }).detach();
    } catch (const std::system_error&) {
      --liveConnections;
      ::close(client);
    }
  }
}

bool ParseSeconds(const char* text, int& value) {
  const std::string_view view(text);
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  return error == std::errc() && end == view.data() + view.size() && value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  int port = -1;
  int lifetime = kDefaultLifetimeSeconds;
  if (argc < 2 || argc > 3 || !ParseSeconds(argv[1], port) || port > 65535 ||
      (argc == 3 && (!ParseSeconds(argv[2], lifetime) || lifetime == 0))) {
    std::fprintf(stderr, "usage: origin_server PORT [LIFETIME_SECONDS]\n");
    return 2;
  }

  // The stop signals are taken by sigtimedwait below, so every thread must have them blocked. A
  // shell starts background jobs with SIGINT ignored, and an ignored signal is discarded even
  // while blocked, so the default disposition comes back first.
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  static const Bodies bodies{BuildPage(), BuildLarge()};
  const int listener = OpenListener(static_cast<unsigned short>(port));
  if (listener < 0) {
    std::fprintf(stderr, "origin_server: cannot listen on 127.0.0.1:%d: %s\n", port, std::strerror(errno));
    return 1;
  }
  std::printf("listening on %u\n", BoundPort(listener));
  std::fflush(stdout);

  std::thread(AcceptLoop, listener, std::cref(bodies)).detach();

  // sigtimedwait may return early with EINTR; the deadline keeps the total wait bounded.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(lifetime);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      std::fprintf(stderr, "origin_server: lifetime of %d s is over, stopping\n", lifetime);
      break;
    }
    const timespec wait{static_cast<time_t>(left.count() / 1000), static_cast<long>(left.count() % 1000) * 1000000L};
    if (sigtimedwait(&stopSignals, nullptr, &wait) >= 0) break;
  }
  // Connection threads may still be sending the shared bodies; leave without running static
  // destructors under them.
  std::fflush(stdout);
  std::_Exit(0);
}
