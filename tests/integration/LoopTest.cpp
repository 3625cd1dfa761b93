// Requests that would come back to the proxy itself: answered 508 at once, no
// connection opened.

#include "integration/ProxyFixture.h"
#include "support/Loopback.h"

namespace tarnwick::test {
namespace {

class LoopTest : public ProxyFixture {
 protected:
  std::string Self(const std::string &host) const { return "http://" + host + ":" + std::to_string(ProxyPort); }
  // The proxy's answer, and whether the proxy took no connection but the one
  // asking.
  void ExpectLoopAnswer(const std::string &url) {
    const int connectionsBefore = Prefs->ConnCnt.load();
    const std::string answer = Ask("GET " + url + " HTTP/1.0\r\n\r\n");
    EXPECT_EQ(0u, answer.find("HTTP/1.0 508 Loop Detected\r\n")) << url << "\n" << answer;
    EXPECT_NE(std::string::npos, answer.find("<H2>Loop detected</H2>")) << url;
    EXPECT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 0; }));
    EXPECT_EQ(connectionsBefore + 1, Prefs->ConnCnt.load()) << url << ": only the asking connection";
  }
};

TEST_F(LoopTest, TheProxysOwnAddressByNumberNameOrNestingIsALoop) {
  StartProxy();
  ExpectLoopAnswer(Self("127.0.0.1") + "/");
  ExpectLoopAnswer(Self("localhost") + "/page");
  ExpectLoopAnswer(Self("127.0.0.1") + "/" + Self("127.0.0.1") + "/" + Self("127.0.0.1") + "/");
  // The same address on another port is an ordinary server.
  EXPECT_EQ(0u, Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n").find("HTTP/1.0 200 OK"));
}

TEST_F(LoopTest, AnUpstreamProxyThatIsTheProxyItselfIsALoop) {
  StartProxy();
  Change([&](TPrefsSettings &settings) {
    settings.UseProxy = true;
    settings.ProxyName = "localhost";
    settings.ProxyPort = ProxyPort;
  });
  ExpectLoopAnswer(OriginUrl("/"));
  EXPECT_EQ(0, Origin.Connections());
}

TEST_F(LoopTest, TheProxysPortOnIPv6LoopbackIsALoop) {
  StartProxy();
  ExpectLoopAnswer(Self("[::1]") + "/");
  // Asked over IPv6 as well: the port the client reached is the one that counts.
  TRawSocket client = ConnectTo(ProxyPort, "::1");
  ASSERT_TRUE(client.Valid());
  client.Send("GET " + Self("[::1]") + "/ HTTP/1.0\r\n\r\n");
  EXPECT_EQ(0u, client.ReceiveAll().find("HTTP/1.0 508 Loop Detected\r\n"));
}

TEST_F(LoopTest, ATunnelToTheProxyItselfIsALoop) {
  StartProxy();
  const int connectionsBefore = Prefs->ConnCnt.load();
  for (const std::string host : {"127.0.0.1", "localhost", "[::1]"}) {
    const std::string answer = Ask("CONNECT " + host + ":" + std::to_string(ProxyPort) + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(0u, answer.find("HTTP/1.0 508 Loop Detected\r\n")) << host << "\n" << answer;
  }
  EXPECT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 0; }));
  EXPECT_EQ(connectionsBefore + 3, Prefs->ConnCnt.load()) << "only the asking connections";
}

TEST_F(LoopTest, PassThroughStillRefusesALoop) {
  StartProxy([](TPrefsSettings &settings) { settings.PassThru = true; });
  ExpectLoopAnswer(Self("127.0.0.1") + "/");
}

}  // namespace
}  // namespace tarnwick::test
