// HTTPS tunnels (CONNECT) through the running proxy: bytes both ways, half-close, the decisions
// that may refuse a tunnel, the upstream proxy, counting and the log line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "filters/Filters.h"
#include "integration/ProxyFixture.h"
#include "prefs/ListStates.h"
#include "support/Loopback.h"

namespace tarnwick::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr const char* kEstablished = "HTTP/1.0 200 Connection established\r\n\r\n";

class TunnelProxyTest : public ProxyFixture {
 protected:
  void Start(const std::function<void(TPrefsSettings&)>& adjust = {}) {
    StartProxy(
        [&](TPrefsSettings& s) {
          if (adjust) adjust(s);
        },
        std::make_shared<const TTarnwickFilters>());
  }
  std::string Target(int port) const { return "127.0.0.1:" + std::to_string(port); }
  std::string ConnectHead(int port) const {
    return "CONNECT " + Target(port) + " HTTP/1.1\r\nHost: " + Target(port) + "\r\n\r\n";
  }
  // Reads exactly `count` bytes (or what came before the end).
  static std::string Exactly(TRawSocket& socket, size_t count) {
    std::string got;
    while (got.size() < count) {
      const std::string more = socket.ReceiveSome(count - got.size());
      if (more.empty()) break;
      got += more;
    }
    return got;
  }
};

TEST_F(TunnelProxyTest, BytesPassBothWaysWithTheHalfCloseAndAreCountedAndLogged) {
  Start();
  std::string upload;
  for (int i = 0; i < 200000; ++i) upload.push_back(static_cast<char>(i % 251));
  Origin.SetResponse(std::string("\0\x01server bytes\xff", 15));
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send(ConnectHead(Origin.Port()));
  EXPECT_EQ(kEstablished, Exactly(client, std::strlen(kEstablished)));
  EXPECT_EQ(1, Prefs->ActiveConnections.load()) << "an open tunnel is an active connection";
  client.Send(upload + "\r\n\r\n");
  // The server answers and closes its sending side: the client sees the end, and may still send.
  EXPECT_EQ(std::string("\0\x01server bytes\xff", 15), client.ReceiveAll());
  client.Send("after the half-close");
  client.ShutdownWrite();
  EXPECT_EQ(upload + "\r\n\r\nafter the half-close", OriginSaw());
  const auto lines = LogLines(1);
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], HasSubstr("\"CONNECT " + Target(Origin.Port()) + " HTTP/1.1\" 200 15"));
  EXPECT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 0; }));
  EXPECT_EQ(1, Prefs->ConnCnt.load());
  EXPECT_GE(Prefs->SentCnt.load(), static_cast<std::int64_t>(upload.size() + 15)) << "both ways counted";
}

TEST_F(TunnelProxyTest, BlockListAndRedirectionHitsAreRefusedWithoutContactingTheServer) {
  Start([](TPrefsSettings& s) {
    s.RequestFilter = true;
    s.BlockItems = {"https://127.0.0.1:"};
    s.BlockChecked = {true};
  });
  EXPECT_THAT(Ask(ConnectHead(Origin.Port())), StartsWith("HTTP/1.0 403 Page Blocked\r\n"));
  Change([](TPrefsSettings& s) {
    s.BlockChecked = {false};
    s.EnableRedir = true;
    s.RedirEntries = RedirEntriesOf({"127.0.0.1"}, {"1|2|http://elsewhere.example/|"});
  });
  EXPECT_THAT(Ask(ConnectHead(Origin.Port())), StartsWith("HTTP/1.0 403 Page Blocked\r\n"))
      << "a tunnel cannot be redirected";
  EXPECT_EQ(0, Origin.Connections());
  Change([](TPrefsSettings& s) { s.PassThru = true; });
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send(ConnectHead(Origin.Port()) + "\r\n\r\n");
  client.ShutdownWrite();
  EXPECT_THAT(client.ReceiveAll(), StartsWith(kEstablished)) << "pass-through mode tunnels without the lists";
  EXPECT_THAT(LogLines(3)[0], HasSubstr("\" 403 "));
}

TEST_F(TunnelProxyTest, AClientElsewhereMayOnlyTunnelToTheHttpsPort) {
  Start();
  // A client that connects from another address than it connects to stands for one on the network.
  const std::string refused = Ask(ConnectHead(Origin.Port()), "127.0.0.2");
  EXPECT_THAT(refused, StartsWith("HTTP/1.0 403 Forbidden\r\n"));
  EXPECT_EQ(0, Origin.Connections());
  const std::string https = Ask("CONNECT 127.0.0.1:443 HTTP/1.1\r\n\r\n", "127.0.0.2");
  EXPECT_THAT(https, Not(StartsWith("HTTP/1.0 403"))) << "port 443 is allowed: " << https;
  TRawSocket local = ConnectTo(ProxyPort);
  local.Send(ConnectHead(Origin.Port()) + "x\r\n\r\n");
  local.ShutdownWrite();
  EXPECT_THAT(local.ReceiveAll(), StartsWith(kEstablished)) << "a client on this machine may use any port";
}

TEST_F(TunnelProxyTest, AnUpstreamProxyOpensTheTunnelAndItsAnswerIsPassedOn) {
  TOrigin upstream("HTTP/1.1 200 Connection established\r\nVia: upstream\r\n\r\n");
  upstream.KeepOpen(true);
  Start([&](TPrefsSettings& s) {
    s.UseProxy = true;
    s.ProxyName = "127.0.0.1";
    s.ProxyPort = upstream.Port();
  });
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send("CONNECT secure.example:443 HTTP/1.1\r\nHost: secure.example:443\r\n\r\n");
  const std::string answer = "HTTP/1.1 200 Connection established\r\nVia: upstream\r\n\r\n";
  EXPECT_EQ(answer, Exactly(client, answer.size()));
  client.Send("tls bytes");
  client.ShutdownWrite();
  EXPECT_EQ("CONNECT secure.example:443 HTTP/1.1\r\nHost: secure.example:443\r\n\r\ntls bytes", upstream.Received());
  client.Close();

  upstream.SetResponse("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 4\r\n\r\nauth");
  upstream.KeepOpen(false);
  EXPECT_EQ("HTTP/1.1 407 Proxy Authentication Required\r\nContent-length: 4\r\nConnection: close\r\n\r\nauth",
            Ask("CONNECT secure.example:443 HTTP/1.1\r\n\r\n"));
}

}  // namespace
}  // namespace tarnwick::test
