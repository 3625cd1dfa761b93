// Slow and hostile peers against a running proxy with short limits: a trickled
// head, an idle client, a server that never answers, a slow download that must
// survive, and the connection cap.

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "integration/ProxyFixture.h"
#include "support/Loopback.h"

namespace tarnwick::test {
namespace {

using namespace std::chrono_literals;

// Whether the proxy closes `socket` within `timeout`; bytes it sends first are
// kept in `got`.
bool ClosedByPeerWithin(TRawSocket &socket, std::chrono::milliseconds timeout, std::string *got = nullptr) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < end) {
    pollfd watch{socket.Handle, POLLIN, 0};
    if (::poll(&watch, 1, 50) <= 0) continue;
    const ssize_t n = ::recv(socket.Handle, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    if (got != nullptr) got->append(buffer, static_cast<size_t>(n));
  }
  return false;
}

// A server that takes connections into its queue and never says a word.
class TStalledServer {
 public:
  TStalledServer() { Listener.Listen("", "127.0.0.1", 0, 16); }
  int Port() const { return Listener.LocalPort(); }

 private:
  TSockStream Listener;
};

class LimitsTest : public ProxyFixture {
 protected:
  void StartWith(std::int32_t headSec, std::int32_t idleSec, std::int32_t cap = 512) {
    StartProxy([&](TPrefsSettings &settings) {
      settings.Limits.HeadTimeoutSec = headSec;
      settings.Limits.IdleTimeoutSec = idleSec;
      settings.Limits.MaxConnections = cap;
    });
  }
  bool AllConnectionsEnded() {
    return WaitUntil([&] { return Prefs->ActiveConnections.load() == 0; }, 15s);
  }
};

TEST_F(LimitsTest, AHeadTrickledByteByByteIsCutAtTheHeadLimit) {
  StartWith(1, 100);
  TRawSocket client = ConnectTo(ProxyPort);
  const std::string head = "GET " + OriginUrl("/") + " HTTP/1.0\r\nX-Slow: " + std::string(200, 'a');
  bool closed = false;
  // Each byte is progress, so only the limit on the whole head can end this.
  for (size_t i = 0; i < head.size() && !closed; ++i) {
    client.Send(head.substr(i, 1));
    closed = ClosedByPeerWithin(client, 100ms);
  }
  EXPECT_TRUE(closed) << "a head still arriving after 20 s";
  EXPECT_TRUE(AllConnectionsEnded());
  EXPECT_EQ(0, Origin.Connections());
}

TEST_F(LimitsTest, AHeadCutShortByTheClockIsNeverForwarded) {
  StartWith(1, 100);
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send("GET " + OriginUrl("/") + " HTTP/1.0\r\nHost: x\r\n");  // the empty line never comes
  std::string answer;
  EXPECT_TRUE(ClosedByPeerWithin(client, 10s, &answer));
  EXPECT_EQ("", answer);
  EXPECT_EQ(0, Origin.Connections());
}

TEST_F(LimitsTest, AnIdleClientAndAStalledServerAreClosedAfterTheIdleLimit) {
  StartWith(60, 1);
  TRawSocket idle = ConnectTo(ProxyPort);
  idle.Send("GET " + OriginUrl("/") + " HTTP/1.0\r\n");  // and the rest never comes
  EXPECT_TRUE(ClosedByPeerWithin(idle, 10s));

  TStalledServer stalled;
  TRawSocket waiting = ConnectTo(ProxyPort);
  waiting.Send("GET http://127.0.0.1:" + std::to_string(stalled.Port()) + "/ HTTP/1.0\r\n\r\n");
  EXPECT_TRUE(ClosedByPeerWithin(waiting, 10s));
  EXPECT_TRUE(AllConnectionsEnded());
}

TEST_F(LimitsTest, AClientThatVanishedWhileTheServerStallsFreesItsThread) {
  StartWith(60, 1);
  TStalledServer stalled;
  {
    TRawSocket client = ConnectTo(ProxyPort);
    client.Send("GET http://127.0.0.1:" + std::to_string(stalled.Port()) + "/ HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 1; }));
  }
  EXPECT_TRUE(AllConnectionsEnded());
}

TEST_F(LimitsTest, ASlowDownloadThatKeepsMovingIsNeverCut) {
  StartWith(60, 2);
  TSockStream listener;
  listener.Listen("", "127.0.0.1", 0, 4);
  constexpr int kPieces = 12;  // 3.6 s in all, beyond the idle limit
  std::thread origin([&] {
    int error = 0;
    auto connection = listener.Accept(error);
    if (!connection) return;
    std::string line;
    while (connection->ReadLine(line) && !line.empty()) {
    }
    connection->WriteLine("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n");
    for (int i = 0; i < kPieces; ++i) {
      std::this_thread::sleep_for(300ms);
      connection->WriteLine("piece " + std::to_string(i));
    }
  });
  const std::string answer = Ask("GET http://127.0.0.1:" + std::to_string(listener.LocalPort()) + "/ HTTP/1.0\r\n\r\n");
  origin.join();
  EXPECT_NE(std::string::npos, answer.find("piece " + std::to_string(kPieces - 1) + "\r\n")) << answer;
}

TEST_F(LimitsTest, AnIdleTunnelIsClosedAfterItsOwnLimitAndCountsTowardTheCap) {
  StartProxy([](TPrefsSettings &settings) {
    settings.Limits.IdleTimeoutSec = 100;
    settings.Limits.TunnelIdleSec = 1;
    settings.Limits.MaxConnections = 1;
  });
  TStalledServer stalled;
  TRawSocket tunnel = ConnectTo(ProxyPort);
  tunnel.Send("CONNECT 127.0.0.1:" + std::to_string(stalled.Port()) + " HTTP/1.1\r\n\r\n");
  EXPECT_EQ("HTTP/1.0 200 Connection established\r\n\r\n", tunnel.ReceiveSome());
  // While the tunnel is open it is the one connection allowed.
  std::string refused;
  TRawSocket other = ConnectTo(ProxyPort);
  EXPECT_TRUE(ClosedByPeerWithin(other, 5s, &refused));
  EXPECT_EQ(0u, refused.find("HTTP/1.0 503 Service Unavailable\r\n")) << refused;
  EXPECT_TRUE(ClosedByPeerWithin(tunnel, 10s));
  EXPECT_TRUE(AllConnectionsEnded());
}

TEST_F(LimitsTest, TheConnectionBeyondTheCapIsAnswered503AndServiceReturns) {
  StartWith(60, 100, 2);
  Change([](TPrefsSettings &settings) { settings.Offline = true; });
  std::vector<TRawSocket> holders;
  for (int i = 0; i < 2; ++i) holders.push_back(ConnectTo(ProxyPort));
  ASSERT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 2; }));

  std::string refused;
  TRawSocket third = ConnectTo(ProxyPort);
  third.Send("GET http://example.test/ HTTP/1.0\r\n\r\n");
  EXPECT_TRUE(ClosedByPeerWithin(third, 5s, &refused));
  EXPECT_EQ(
      "HTTP/1.0 503 Service Unavailable\r\nContent-Type: "
      "text/plain\r\nContent-Length: 23\r\n"
      "Connection: close\r\nRetry-After: 5\r\n\r\nToo many connections.\r\n",
      refused);

  holders.clear();
  ASSERT_TRUE(AllConnectionsEnded());
  EXPECT_EQ(0u, Ask("GET http://example.test/ HTTP/1.0\r\n\r\n").find("HTTP/1.0 304"));
}

}  // namespace
}  // namespace tarnwick::test
