// The proxy without filters, byte for byte on the wire: a raw client, the running proxy and a
// scripted origin on loopback.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "integration/ProxyFixture.h"

namespace tarnwick::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class ProxyPipelineTest : public ProxyFixture {};

TEST_F(ProxyPipelineTest, ForwardsPathOnlyWithConnectionCloseAndRelaysTheAnswer) {
  Origin.SetResponse(
      "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nKeep-Alive: timeout=5\r\nConnection: keep-alive\r\n\r\nok");
  StartProxy();
  const std::string answer = Ask("GET " + OriginUrl("/a/b?c=d/e") +
                                 " HTTP/1.1\r\nHost: x\r\nProxy-Connection: keep-alive\r\n"
                                 "Connection: keep-alive\r\nKeep-Alive: 300\r\n\r\n");
  EXPECT_EQ("GET /a/b?c=d/e HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", OriginSaw());
  EXPECT_EQ("HTTP/1.1 200 OK\r\nContent-length: 2\r\nConnection: close\r\n\r\nok", answer);
}

TEST_F(ProxyPipelineTest, MethodAndVersionGoOutInUpperCaseAndHeaderBlanksAreKept) {
  StartProxy();
  Ask("get " + OriginUrl("/x") + " http/1.0\r\nA:b\r\nB:  c\r\n\r\n");
  EXPECT_EQ("GET /x HTTP/1.0\r\nA: b\r\nB:  c\r\nConnection: close\r\n\r\n", OriginSaw());
  // A line without a colon is refused instead (RequestHeadsTest).
}

TEST_F(ProxyPipelineTest, AnUpstreamProxyGetsTheAbsoluteUrlWithItsPort) {
  StartProxy([&](TPrefsSettings& s) {
    s.UseProxy = true;
    s.ProxyName = "127.0.0.1";
    s.ProxyPort = Origin.Port();
  });
  Ask("GET http://far.example:8081/p?q=1 HTTP/1.0\r\n\r\n");
  EXPECT_EQ("GET http://far.example:8081/p?q=1 HTTP/1.0\r\nConnection: close\r\n\r\n", OriginSaw());
  EXPECT_GT(Prefs->RecvProxyCnt.load(), 0) << "bytes read while the upstream proxy is used";
  EXPECT_EQ(0, Prefs->RecvCnt.load());
}

TEST_F(ProxyPipelineTest, UpstreamPortZeroGoesStraightToTheServerWithTheAbsoluteUrl) {
  StartProxy([](TPrefsSettings& s) {
    s.UseProxy = true;
    s.ProxyName = "127.0.0.1";
    s.ProxyPort = 0;
  });
  Ask("GET " + OriginUrl("/p") + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ("GET " + OriginUrl("/p") + " HTTP/1.0\r\nConnection: close\r\n\r\n", OriginSaw());
}

TEST_F(ProxyPipelineTest, ABarePathGoesToLocalhostPort80) {
  TOrigin local("HTTP/1.0 204 No Content\r\n\r\n", 80);
  if (!local.Listening()) GTEST_SKIP() << "port 80 cannot be taken here";
  StartProxy();
  EXPECT_EQ("HTTP/1.0 204 No Content\r\nConnection: close\r\n\r\n", Ask("GET / HTTP/1.0\r\n\r\n"));
  EXPECT_EQ("GET / HTTP/1.0\r\nConnection: close\r\n\r\n", local.Received());
}

TEST_F(ProxyPipelineTest, AClientThatClosesMidHeadIsServedWithTheLinesItSent) {
  StartProxy();
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send("GET " + OriginUrl("/half") + " HTTP/1.0\r\nHost: h\r\n");
  client.ShutdownWrite();
  EXPECT_THAT(client.ReceiveAll(), StartsWith("HTTP/1.0 200 OK"));
  EXPECT_EQ("GET /half HTTP/1.0\r\nHost: h\r\nConnection: close\r\n\r\n", OriginSaw());
}

TEST_F(ProxyPipelineTest, TheBodyCopyStopsAfterThePieceThatReachesContentLength) {
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\nhelloEXTRA");
  Origin.KeepOpen(true);
  StartProxy();
  // The origin keeps its side open: only the stop rule ends the relay.
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-length: 5\r\nConnection: close\r\n\r\nhelloEXTRA",
            Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n"));
}

TEST_F(ProxyPipelineTest, InterimAnswersAreSkippedForTheFinalOne) {
  Origin.SetResponse(
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\n"
      "HTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok");
  StartProxy();
  EXPECT_EQ("HTTP/1.1 201 Created\r\nContent-length: 2\r\nConnection: close\r\n\r\nok",
            Ask("POST " + OriginUrl("/up") + " HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\nabc"));
  EXPECT_THAT(LogLines(1).at(0), testing::EndsWith("\" 201 2"));
}

TEST_F(ProxyPipelineTest, HeadGetsTheHeadOnly) {
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbody");
  StartProxy();
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-length: 4\r\nConnection: close\r\n\r\n",
            Ask("HEAD " + OriginUrl("/") + " HTTP/1.0\r\n\r\n"));
}

TEST_F(ProxyPipelineTest, APostBodyAndAPutBodyAreRelayed) {
  StartProxy();
  Ask("POST " + OriginUrl("/form") + " HTTP/1.0\r\nContent-Length: 7\r\n\r\na=1&b=2");
  EXPECT_EQ("POST /form HTTP/1.0\r\nContent-Length: 7\r\nConnection: close\r\n\r\na=1&b=2", OriginSaw(0));
  Ask("PUT " + OriginUrl("/file") + " HTTP/1.0\r\nContent-Length: 7\r\n\r\na=1&b=2");
  EXPECT_EQ("PUT /file HTTP/1.0\r\nContent-Length: 7\r\nConnection: close\r\n\r\na=1&b=2", OriginSaw(1));
}

TEST_F(ProxyPipelineTest, ConnectOpensATunnelInsteadOfForwardingARequest) {
  StartProxy();
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send("CONNECT 127.0.0.1:" + std::to_string(Origin.Port()) + " HTTP/1.1\r\nHost: h\r\n\r\nping\r\n\r\n");
  client.ShutdownWrite();
  EXPECT_EQ("HTTP/1.0 200 Connection established\r\n\r\nHTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok",
            client.ReceiveAll());
  EXPECT_EQ("ping\r\n\r\n", OriginSaw()) << "the server sees only the tunnel's bytes";
}

TEST_F(ProxyPipelineTest, AResponseWithoutStatusLineIsPassedOnAsItCame) {
  Origin.SetResponse("just text\nmore text");
  StartProxy();
  EXPECT_EQ("just text\r\nmore text", Ask("GET " + OriginUrl("/old") + " HTTP/1.0\r\n\r\n"));
}

TEST_F(ProxyPipelineTest, MalformedHeadsEndTheConnectionWithNothingSent) {
  StartProxy();
  EXPECT_EQ("", Ask("GET /only-two-tokens\r\n\r\n"));
  // A port or a length that cannot be read gets the 400 page instead of silence.
  EXPECT_EQ(0u, Ask("GET http://127.0.0.1:8x/ HTTP/1.0\r\n\r\n").find("HTTP/1.0 400 Bad Request\r\n"));
  EXPECT_EQ(
      0u,
      Ask("POST " + OriginUrl("/") + " HTTP/1.0\r\nContent-Length: many\r\n\r\n").find("HTTP/1.0 400 Bad Request\r\n"));
  Origin.SetResponse("HTTP/1.0 2x0 Odd\r\n\r\n");
  EXPECT_EQ("", Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n"));
  EXPECT_EQ(1, Origin.Connections());
}

TEST_F(ProxyPipelineTest, EndlessHeaderLinesAreCutOff) {
  StartProxy();
  TRawSocket client = ConnectTo(ProxyPort);
  client.Send("GET " + OriginUrl("/") + " HTTP/1.0\r\n");
  // Paced, so that the proxy's input buffer keeps emptying and only the line limit can stop it.
  try {
    for (int i = 0; i < 1100; i += 10) {
      std::string lines;
      for (int j = i; j < i + 10; ++j) lines += "X-" + std::to_string(j) + ": y\r\n";
      client.Send(lines);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    client.Send("\r\n");
  } catch (const std::runtime_error&) {
    // The proxy hung up on the endless head, as it should.
  }
  client.ReceiveAll();
  const std::string forwarded = Origin.Connections() > 0 ? OriginSaw() : "";
  const auto lines = std::count(forwarded.begin(), forwarded.end(), '\n');
  EXPECT_LE(lines, 1002) << "no more header lines than the limit are ever taken in";
}

TEST_F(ProxyPipelineTest, OfflineModeAnswers304WithoutConnecting) {
  StartProxy([](TPrefsSettings& s) { s.Offline = true; });
  EXPECT_EQ("HTTP/1.0 304 Not Modified\r\nServer: Tarnwick  V1.4\r\n\r\n\r\n",
            Ask("GET " + OriginUrl("/") + " HTTP/1.0\r\n\r\n"));
  EXPECT_EQ(0, Origin.Connections());
  const auto lines = LogLines(1);
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], testing::EndsWith("\" 304 -"));
}

TEST_F(ProxyPipelineTest, ThePseudoHostServesItsBlankPageUnlessPassingThrough) {
  StartProxy();
  EXPECT_EQ(
      "HTTP/1.0 200 OK\r\nServer: Tarnwick  V1.4\r\nContent-type: text/html\r\nContent-length: 72\r\n\r\n"
      "<html><head><title>Corvane Blank Page</title></head><body></body></html>",
      Ask("GET http://--TARNWICK--/blank.html HTTP/1.0\r\n\r\n"));
  // In pass-through mode the pseudo host is just a name: here the upstream proxy gets it.
  Change([&](TPrefsSettings& s) {
    s.PassThru = true;
    s.UseProxy = true;
    s.ProxyName = "127.0.0.1";
    s.ProxyPort = Origin.Port();
  });
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-length: 2\r\nConnection: close\r\n\r\nok",
            Ask("GET http://--TARNWICK--/blank.html HTTP/1.0\r\n\r\n"));
  EXPECT_EQ("GET http://--TARNWICK--/blank.html HTTP/1.0\r\nConnection: close\r\n\r\n", OriginSaw());
}

TEST_F(ProxyPipelineTest, AnUnreachableServerGetsThe500PageWithTheErrorText) {
  StartProxy();
  const int closed = [] {
    TOrigin probe;
    return probe.Port();
  }();
  const std::string url = "http://127.0.0.1:" + std::to_string(closed) + "/<b>\"x\"";
  const std::string page =
      "<HTML><HEAD><TITLE>Could not contact remote host</TITLE></HEAD><BODY><H1>Tarnwick Error</H1><H2>Could not "
      "contact remote host</H2><HR><P>The error occurred processing the URL: <A HREF=\"" +
      std::string("http://127.0.0.1:") + std::to_string(closed) +
      "/&lt;b&gt;&quot;x&quot;\">http://127.0.0.1:" + std::to_string(closed) +
      "/&lt;b&gt;&quot;x&quot;</A><P>The system returned the following error: <STRONG>Connection "
      "refused</STRONG><P><HR><ADDRESS>Generated by Tarnwick  V1.4</ADDRESS></BODY></HTML>";
  EXPECT_EQ("HTTP/1.0 500 Server Error\r\nServer: Tarnwick  V1.4\r\nContent-type: text/html\r\nContent-length: " +
                std::to_string(page.size()) + "\r\n\r\n" + page,
            Ask("GET " + url + " HTTP/1.0\r\n\r\n"));
  const auto lines = LogLines(1);
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], testing::EndsWith("\" 500 " + std::to_string(page.size())));
}

TEST_F(ProxyPipelineTest, PassThroughFailsToConnectWithThe500PageToo) {
  StartProxy([](TPrefsSettings& s) { s.PassThru = true; });
  EXPECT_THAT(Ask("GET http://127.0.0.1:1/ HTTP/1.0\r\n\r\n"),
              testing::AllOf(StartsWith("HTTP/1.0 500 Server Error\r\n"), HasSubstr("Connection refused")));
}

TEST_F(ProxyPipelineTest, EachConnectionIsLoggedInCommonLogFormat) {
  Origin.SetResponse("HTTP/1.0 200 OK\r\n\r\nno length");
  StartProxy();
  // Lines come in the order connections finish; each request waits for the line before it.
  Ask("GET " + OriginUrl("/a") + "  HTTP/1.0\r\n\r\n");  // two blanks: logged as received
  LogLines(1);
  Ask("GET " + OriginUrl("/say\"hi\"\\") + " HTTP/1.0\r\n\r\n");
  LogLines(2);
  Ask("nonsense\r\n\r\n");
  const auto lines = LogLines(3);
  ASSERT_EQ(3u, lines.size());
  const std::regex stamp(R"(127\.0\.0\.1 - - \[\d\d/[A-Z][a-z][a-z]/\d{4}:\d\d:\d\d:\d\d \+0100\] .*)");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, stamp)) << line;
  EXPECT_THAT(lines[0], testing::EndsWith("] \"GET " + OriginUrl("/a") + "  HTTP/1.0\" 200 -"));
  EXPECT_THAT(lines[1], testing::EndsWith("\"GET " + OriginUrl("/say\\\"hi\\\"\\\\") + " HTTP/1.0\" 200 -"));
  EXPECT_THAT(lines[2], testing::EndsWith("] \"nonsense\" 0 -")) << "a malformed request is logged with its sender";
}

TEST_F(ProxyPipelineTest, DontLogMyselfSkipsLoopbackClientsOnly) {
  StartProxy([](TPrefsSettings& s) {
    s.DontLogMyself = true;
    s.AllowOthers = true;
  });
  Ask("GET " + OriginUrl("/mine") + " HTTP/1.0\r\n\r\n");
  Ask("GET " + OriginUrl("/other") + " HTTP/1.0\r\n\r\n", "127.0.0.2");
  const auto lines = LogLines(1);
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], StartsWith("127.0.0.2 - - ["));
  EXPECT_THAT(lines[0], HasSubstr("/other"));
}

}  // namespace
}  // namespace tarnwick::test
