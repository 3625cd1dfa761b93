// Long heads, request bodies of every method, the requests that are refused with 400 before
// anything reaches a server, and the proxy on both address families.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "integration/ProxyFixture.h"
#include "support/Loopback.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class RequestHeadsTest : public ProxyFixture {
 protected:
  std::string Request(const std::string& method, const std::string& headers, const std::string& body = "") {
    return Ask(method + " " + OriginUrl("/x") + " HTTP/1.1\r\n" + headers + "\r\n" + body);
  }
};

TEST_F(RequestHeadsTest, LongHeadsArriveWhole) {
  StartProxy();
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "X-Line-" + std::to_string(100 + i) + ": " + std::string(88, 'v') + "\r\n";
  EXPECT_THAT(Request("GET", lines), StartsWith("HTTP/1.0 200 OK"));
  EXPECT_THAT(OriginSaw(0), HasSubstr(lines + "Connection: close\r\n\r\n")) << "all 100 lines of 100 bytes";
  const std::string cookie = "Cookie: " + std::string(60 * 1024, 'c') + "\r\n";
  EXPECT_THAT(Request("GET", cookie), StartsWith("HTTP/1.0 200 OK"));
  EXPECT_THAT(OriginSaw(1), HasSubstr(cookie));
}

TEST_F(RequestHeadsTest, AHeadOver64KiBGetsThe400PageAndNoServerSeesIt) {
  StartProxy();
  std::string lines;
  for (int i = 0; i < 70; ++i) lines += "X-Big-" + std::to_string(i) + ": " + std::string(1010, 'b') + "\r\n";
  const std::string answer = Request("GET", lines);
  EXPECT_THAT(answer, StartsWith("HTTP/1.0 400 Bad Request\r\n"));
  EXPECT_THAT(answer, HasSubstr("<STRONG>Request header too large</STRONG>"));
  const std::string oneLine = Request("GET", "Cookie: " + std::string(70 * 1024, 'c') + "\r\n");
  EXPECT_THAT(oneLine, HasSubstr("Request header too large")) << "one line longer than the bound";
  EXPECT_EQ(0, Origin.Connections());
  EXPECT_THAT(LogLines(2)[0], HasSubstr("\" 400 "));
}

TEST_F(RequestHeadsTest, AResponseHeadOver64KiBGetsThe500Page) {
  std::string lines;
  for (int i = 0; i < 70; ++i) lines += "X-Big-" + std::to_string(i) + ": " + std::string(1010, 'b') + "\r\n";
  Origin.SetResponse("HTTP/1.0 200 OK\r\n" + lines + "\r\nbody");
  StartProxy();
  const std::string answer = Request("GET", "");
  EXPECT_THAT(answer, StartsWith("HTTP/1.0 500 Server Error\r\n"));
  EXPECT_THAT(answer, HasSubstr("<STRONG>Bad header in server response</STRONG>"));
}

TEST_F(RequestHeadsTest, EveryMethodsBodyArrivesWholeAndChunkedBodiesKeepTheirFraming) {
  StartProxy();
  size_t n = 0;
  for (const char* method : {"PUT", "PATCH", "DELETE", "POST"}) {
    const std::string body = std::string(method) + std::string(100000, 'p');
    Request(method, "Content-Length: " + std::to_string(body.size()) + "\r\n", body + "beyond the body");
    const std::string saw = OriginSaw(n++);
    EXPECT_EQ(body, saw.substr(saw.find("\r\n\r\n") + 4)) << method << ": exactly its length";
  }
  const std::string chunked = "5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nTrailer: t\r\n\r\n";
  Request("POST", "Transfer-Encoding: chunked\r\n", chunked + "GET /smuggled HTTP/1.1\r\n\r\n");
  const std::string saw = OriginSaw(n);
  EXPECT_THAT(saw, HasSubstr("Transfer-Encoding: chunked\r\n"));
  EXPECT_EQ(chunked, saw.substr(saw.find("\r\n\r\n") + 4)) << "framing kept, nothing after the last chunk";
}

TEST_F(RequestHeadsTest, AmbiguousBodiesAndImpossiblePortsGet400AndNeverReachAServer) {
  StartProxy();
  const std::string port = std::to_string(Origin.Port());
  const std::vector<std::string> requests = {
      "POST " + OriginUrl("/") + " HTTP/1.1\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
      "POST " + OriginUrl("/") + " HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
      "POST " + OriginUrl("/") + " HTTP/1.1\r\nContent-Length: 5x\r\n\r\nhello",
      "POST " + OriginUrl("/") + " HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!",
      "POST " + OriginUrl("/") + " HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n",
      "GET http://127.0.0.1:0/ HTTP/1.0\r\n\r\n",
      "GET http://127.0.0.1:65536/ HTTP/1.0\r\n\r\n",
      "GET http://127.0.0.1:" + std::to_string(4294967296LL + Origin.Port()) + "/ HTTP/1.0\r\n\r\n",
      "CONNECT 127.0.0.1:99999 HTTP/1.1\r\n\r\n",
  };
  for (const std::string& request : requests) {
    EXPECT_THAT(Ask(request), StartsWith("HTTP/1.0 400 Bad Request\r\n")) << request;
  }
  EXPECT_EQ(0, Origin.Connections());
}

TEST_F(RequestHeadsTest, HeadLinesServersWouldReadTheirOwnWayGet400AndAreNotForwarded) {
  StartProxy();
  const std::string get = "GET " + OriginUrl("/") + " HTTP/1.0";
  const std::vector<std::pair<std::string, std::string>> requests = {
      {get + "\r\nX-Fine: 1\r\nNoColonHere\r\n\r\n", "Header line without a colon"},
      {get + "\r\nX-Nul: a" + std::string(1, '\0') + "b\r\n\r\n", "NUL byte in the request head"},
      {get + "\r\nX-Cr: a\rX-Hidden: b\r\n\r\n", "Bare CR in the request head"},
      {get + "\r\nX-End: a\r\r\n\r\n", "Bare CR in the request head"},
      {"GET " + OriginUrl("/a\rb") + " HTTP/1.0\r\n\r\n", "Bare CR in the request head"},
  };
  for (const auto& [request, reason] : requests) {
    const std::string answer = Ask(request);
    EXPECT_THAT(answer, StartsWith("HTTP/1.0 400 Bad Request\r\n")) << request;
    EXPECT_THAT(answer, HasSubstr(reason)) << request;
  }
  EXPECT_EQ(0, Origin.Connections());
  // Bare LF line ends are still a head.
  EXPECT_THAT(Ask(get + "\nX-Lf: 1\n\n"), StartsWith("HTTP/1.0 200 OK"));
  EXPECT_THAT(OriginSaw(0), HasSubstr("X-Lf: 1\r\n"));
}

TEST_F(RequestHeadsTest, OriginsAndClientsOnIPv6) {
  TOrigin v6("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nv6", 0, "::1");
  ASSERT_TRUE(v6.Listening());
  StartProxy();
  EXPECT_THAT(Proxy->ListeningAddresses(), ElementsAre("127.0.0.1", "::1")) << "so that localhost works either way";
  const std::string url = "http://[::1]:" + std::to_string(v6.Port()) + "/six";
  TRawSocket client = ConnectTo(ProxyPort, "::1");
  ASSERT_TRUE(client.Valid());
  client.Send("GET " + url + " HTTP/1.0\r\n\r\n");
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-length: 2\r\nConnection: close\r\n\r\nv6", client.ReceiveAll());
  EXPECT_THAT(v6.Received(), StartsWith("GET /six HTTP/1.0\r\n"));
  EXPECT_THAT(LogLines(1)[0], StartsWith("::1 - - ["));
  EXPECT_THAT(Ask("GET " + OriginUrl("/four") + " HTTP/1.0\r\n\r\n"), StartsWith("HTTP/1.0 200 OK"));
}

}  // namespace
}  // namespace tarnwick::test
