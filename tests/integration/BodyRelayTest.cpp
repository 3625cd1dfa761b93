// Bodies that no filter reads, relayed zero-copy and through the copy loop: the same bytes, the
// same counters and the same log line either way, whole or cut short by either side.

#include <gtest/gtest.h>

#include <string>

#include "integration/ProxyFixture.h"
#include "support/Loopback.h"

namespace tarnwick::test {
namespace {

// What one request through the proxy left behind.
struct TRelayed {
  std::string Answer;
  std::int64_t Sent = 0;
  std::int64_t Received = 0;
  std::string LogLine;  // without its time stamp
  std::string OriginGot;
};

// Bytes that differ from piece to piece, so that a piece lost, doubled or moved shows.
std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 65536) & 0xFF);
  return bytes;
}

std::string WithoutStamp(const std::string& line) {
  const size_t open = line.find('['), close = line.find(']');
  return open == std::string::npos || close == std::string::npos ? line : line.substr(0, open) + line.substr(close);
}

class BodyRelayTest : public ProxyFixture {
 protected:
  // One request through a proxy of its own that takes `path`; the client reads everything, or
  // only `readFirst` bytes before it closes.
  TRelayed Through(TRelayPath path, const std::string& request, size_t readFirst = std::string::npos) {
    Proxy.reset();
    Prefs = std::make_shared<TCorvanePrefs>("+0100");
    RelayPath = path;
    StartProxy();
    TRelayed relayed;
    TRawSocket client = ConnectTo(ProxyPort);
    client.Send(request);
    if (readFirst == std::string::npos) {
      relayed.Answer = client.ReceiveAll();
    } else {
      while (relayed.Answer.size() < readFirst) {
        const std::string some = client.ReceiveSome(readFirst - relayed.Answer.size());
        if (some.empty()) break;
        relayed.Answer += some;
      }
      client.Close();
    }
    relayed.LogLine = WithoutStamp(LogLines(++Requests).back());
    relayed.Sent = Prefs->SentCnt.load();
    relayed.Received = Prefs->RecvCnt.load();
    relayed.OriginGot = OriginSaw(Requests - 1);
    return relayed;
  }

  TRelayed Get(TRelayPath path, const std::string& target = "/file") {
    return Through(path, "GET " + OriginUrl(target) + " HTTP/1.0\r\n\r\n");
  }

  static void ExpectSame(const TRelayed& zeroCopy, const TRelayed& copied) {
    EXPECT_TRUE(zeroCopy.Answer == copied.Answer)
        << "answers of " << zeroCopy.Answer.size() << " and " << copied.Answer.size() << " bytes differ";
    EXPECT_EQ(copied.Sent, zeroCopy.Sent);
    EXPECT_EQ(copied.Received, zeroCopy.Received);
    EXPECT_EQ(copied.LogLine, zeroCopy.LogLine);
    EXPECT_TRUE(zeroCopy.OriginGot == copied.OriginGot);
  }

  size_t Requests = 0;
};

TEST_F(BodyRelayTest, ALargeBodyWithALengthArrivesWholeAndCountedAlike) {
  const std::string body = Pattern(3 * 1024 * 1024 + 17);
  const std::string head =
      "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  Origin.SetResponse(head + body);
  const TRelayed zeroCopy = Get(TRelayPath::ZeroCopyWherePossible);
  const TRelayed copied = Get(TRelayPath::CopyOnly);
  ExpectSame(zeroCopy, copied);
  ASSERT_GE(zeroCopy.Answer.size(), body.size());
  EXPECT_TRUE(zeroCopy.Answer.ends_with(body));
  EXPECT_EQ(static_cast<std::int64_t>(zeroCopy.Answer.size() + zeroCopy.OriginGot.size()), zeroCopy.Sent);
  EXPECT_TRUE(zeroCopy.LogLine.ends_with("HTTP/1.0\" 200 " + std::to_string(body.size()))) << zeroCopy.LogLine;
}

TEST_F(BodyRelayTest, ABodyWithoutLengthRunsToTheCloseEitherWay) {
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: video/mp4\r\n\r\n" + Pattern(1024 * 1024 + 5));
  const TRelayed zeroCopy = Get(TRelayPath::ZeroCopyWherePossible);
  const TRelayed copied = Get(TRelayPath::CopyOnly);
  ExpectSame(zeroCopy, copied);
  EXPECT_TRUE(zeroCopy.Answer.ends_with(Pattern(1024 * 1024 + 5)));
  EXPECT_TRUE(zeroCopy.LogLine.ends_with(" 200 -")) << zeroCopy.LogLine;
}

TEST_F(BodyRelayTest, SmallBodiesAndBodiesThatCameWithTheHeadAreTheSame) {
  for (const size_t size : {size_t{0}, size_t{1}, size_t{100}, size_t{65536}, size_t{65537}}) {
    const std::string body = Pattern(size);
    Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: text/css\r\nContent-Length: " + std::to_string(size) +
                       "\r\n\r\n" + body);
    const TRelayed zeroCopy = Get(TRelayPath::ZeroCopyWherePossible);
    const TRelayed copied = Get(TRelayPath::CopyOnly);
    ExpectSame(zeroCopy, copied);
    EXPECT_TRUE(zeroCopy.Answer.ends_with("\r\n\r\n" + body)) << size;
  }
}

TEST_F(BodyRelayTest, AServerThatClosesEarlyEndsTheRelayAtTheSameByte) {
  const std::string sent = Pattern(1024 * 1024 + 3);
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 4000000\r\n\r\n" + sent);
  const TRelayed zeroCopy = Get(TRelayPath::ZeroCopyWherePossible);
  const TRelayed copied = Get(TRelayPath::CopyOnly);
  // The cut connection is reset, so the client may lose what was still on its way: each answer is
  // a start of the same bytes, and the proxy's counts and log line agree.
  const TRelayed& longer = zeroCopy.Answer.size() >= copied.Answer.size() ? zeroCopy : copied;
  const TRelayed& shorter = &longer == &zeroCopy ? copied : zeroCopy;
  EXPECT_TRUE(longer.Answer.starts_with(shorter.Answer));
  EXPECT_EQ(copied.Sent, zeroCopy.Sent);
  EXPECT_EQ(copied.Received, zeroCopy.Received);
  EXPECT_EQ(copied.LogLine, zeroCopy.LogLine);
  EXPECT_TRUE(zeroCopy.LogLine.ends_with(" 200 " + std::to_string(sent.size()))) << "the log tells what was sent";
}

TEST_F(BodyRelayTest, AClientThatLeavesEarlyEndsTheRelayAndIsLoggedAlike) {
  // The counts depend on how much the sockets buffered before the client left; the outcome does not.
  Origin.SetResponse("HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 16777216\r\n\r\n" +
                     Pattern(16 * 1024 * 1024));
  for (const TRelayPath path : {TRelayPath::ZeroCopyWherePossible, TRelayPath::CopyOnly}) {
    const TRelayed relayed = Through(path, "GET " + OriginUrl("/big") + " HTTP/1.0\r\n\r\n", 200000);
    EXPECT_GE(relayed.Answer.size(), 200000u);
    EXPECT_LT(relayed.Sent, 16 * 1024 * 1024) << "the relay stopped when the client had gone";
    EXPECT_TRUE(relayed.LogLine.ends_with("HTTP/1.0\" 200 16777216")) << relayed.LogLine;
    EXPECT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 0; })) << "the connection ended";
  }
}

TEST_F(BodyRelayTest, AnUploadGoesToTheServerWholeAndNoFurther) {
  const std::string body = Pattern(2 * 1024 * 1024 + 9);
  // Bytes after the announced length are not this request's and must not reach the server.
  const std::string request = "POST " + OriginUrl("/up") +
                              " HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body +
                              "EXTRA";
  const TRelayed zeroCopy = Through(TRelayPath::ZeroCopyWherePossible, request);
  const TRelayed copied = Through(TRelayPath::CopyOnly, request);
  ExpectSame(zeroCopy, copied);
  EXPECT_TRUE(zeroCopy.OriginGot.ends_with("\r\n\r\n" + body)) << zeroCopy.OriginGot.size();
}

}  // namespace
}  // namespace tarnwick::test
