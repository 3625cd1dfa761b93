#include "engine/SockStream.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>

#include "prefs/Prefs.h"
#include "support/Loopback.h"

namespace tarnwick {
namespace {

using test::MakeStreamPair;

class SockStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto pair = MakeStreamPair(&Prefs);
    Stream = std::move(pair.Stream);
    Peer = std::move(pair.Peer);
  }
  void PeerSends(const std::string& bytes) { Peer.Send(bytes); }
  void PeerCloses() { Peer.ShutdownWrite(); }
  std::string Line() {
    std::string line = "<untouched>";
    return Stream->ReadLine(line) ? line : "<false:" + line + ">";
  }

  TCorvanePrefs Prefs{"+0000"};
  std::unique_ptr<TSockStream> Stream;
  test::TRawSocket Peer;
};

TEST_F(SockStreamTest, LinesEndAtLfWithOneCrRemoved) {
  PeerSends("GET / HTTP/1.0\r\n\nA: b\r\r\nlast\n");
  EXPECT_EQ("GET / HTTP/1.0", Line());
  EXPECT_EQ("", Line());
  EXPECT_EQ("A: b\r", Line()) << "only the CR directly before the LF goes";
  EXPECT_EQ("last", Line());
}

TEST_F(SockStreamTest, LineWithoutLfThenCloseKeepsTheOldValue) {
  PeerSends("GET / HTTP/1.0");
  PeerCloses();
  EXPECT_EQ("<false:<untouched>>", Line());
}

TEST_F(SockStreamTest, LineSplitOverManyReceivesIsJoined) {
  PeerSends("Hos");
  std::thread later([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PeerSends("t: example.com\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PeerSends("\n");
  });
  EXPECT_EQ("Host: example.com", Line());
  later.join();
}

TEST_F(SockStreamTest, ALineLongerThanTheFirstBufferGrowsItAndComesWhole) {
  const std::string longLine(TSockStream::kInBufferSize - TSockStream::kLeastReceive - 10, 'a');
  ASSERT_GT(longLine.size(), static_cast<size_t>(TSockStream::kInBufferStart));
  std::thread sender([&] { PeerSends("GET / HTTP/1.0\r\n" + longLine + "\r\nnext\r\n"); });
  EXPECT_EQ("GET / HTTP/1.0", Line());
  EXPECT_EQ(longLine, Line());
  EXPECT_EQ("next", Line());
  sender.join();
}

TEST_F(SockStreamTest, ALineBeyondTheInputBufferFailsAndSaysSo) {
  const std::string longLine(TSockStream::kInBufferSize + 10, 'a');
  std::thread sender([&] { PeerSends(longLine + "\r\n"); });
  EXPECT_EQ("<false:<untouched>>", Line());
  EXPECT_TRUE(Stream->LineTooLong());
  sender.join();
}

TEST_F(SockStreamTest, ManyLinesLongerThanTheBufferInAllAreReadWhole) {
  std::string head;
  for (int i = 0; i < 100; ++i) head += "X-Line-" + std::to_string(i) + ": " + std::string(1000, 'v') + "\r\n";
  head += "\r\nbody";
  std::thread sender([&] { PeerSends(head); });
  int lines = 0;
  while (Line().size() > 1000) ++lines;
  EXPECT_EQ(100, lines);
  EXPECT_FALSE(Stream->LineTooLong());
  char out[16] = {};
  EXPECT_EQ(4, Stream->ReadBuf(out, sizeof out)) << "nothing after the head is lost";
  sender.join();
}

TEST_F(SockStreamTest, A60KiBLineIsOneLine) {
  const std::string cookie = "Cookie: " + std::string(60 * 1024, 'c');
  std::thread sender([&] { PeerSends(cookie + "\r\n"); });
  EXPECT_EQ(cookie, Line());
  sender.join();
}

TEST_F(SockStreamTest, BodyBytesThatCameWithTheHeadAreHandedOutFirst) {
  PeerSends("HEAD\r\nbody-start");
  ASSERT_EQ("HEAD", Line());
  char out[64] = {};
  EXPECT_EQ(10, Stream->ReadBuf(out, sizeof out));
  EXPECT_EQ("body-start", std::string(out, 10));
  PeerSends("rest");
  EXPECT_EQ(4, Stream->ReadBuf(out, sizeof out));
  EXPECT_EQ("rest", std::string(out, 4));
  PeerCloses();
  EXPECT_EQ(0, Stream->ReadBuf(out, sizeof out));
}

TEST_F(SockStreamTest, BytesReceivedWithALineAreCountedOnceWhenReadBufHandsThemOut) {
  PeerSends("L\r\nxyz");
  ASSERT_EQ("L", Line());
  EXPECT_EQ(6, Prefs.RecvCnt.load());
  char out[8];
  EXPECT_EQ(3, Stream->ReadBuf(out, sizeof out));
  EXPECT_EQ(6, Prefs.RecvCnt.load());
  PeerSends("uvw");
  EXPECT_EQ(3, Stream->ReadBuf(out, sizeof out));
  EXPECT_EQ(9, Prefs.RecvCnt.load());
  EXPECT_EQ(0, Prefs.RecvProxyCnt.load());
}

TEST_F(SockStreamTest, ReceivedBytesGoToTheProxyCounterWhileTheUpstreamProxyIsUsed) {
  Stream->SetReceivedViaProxy(true);
  PeerSends("abcd");
  char out[8];
  EXPECT_EQ(4, Stream->ReadBuf(out, sizeof out));
  EXPECT_EQ(4, Prefs.RecvProxyCnt.load());
  EXPECT_EQ(0, Prefs.RecvCnt.load());
}

TEST_F(SockStreamTest, WriteLineSendsTheTextAndCrLf) {
  EXPECT_TRUE(Stream->WriteLine(""));
  EXPECT_TRUE(Stream->WriteLine("HTTP/1.0 200 OK"));
  Stream->Close();
  EXPECT_EQ("\r\nHTTP/1.0 200 OK\r\n", Peer.ReceiveAll());
  EXPECT_EQ(19, Prefs.SentCnt.load());
}

TEST_F(SockStreamTest, WriteBufferSendsAndEmptiesTheWholeBuffer) {
  TBuffer buffer(20000);
  std::string payload;
  for (int i = 0; i < 10000; ++i) payload += static_cast<char>('a' + i % 26);
  buffer.Write(payload.data(), static_cast<std::int32_t>(payload.size()));
  EXPECT_TRUE(Stream->WriteBuffer(buffer));
  EXPECT_TRUE(buffer.Empty());
  Stream->Close();
  EXPECT_EQ(payload, Peer.ReceiveAll());
}

TEST_F(SockStreamTest, ReadToBufferStopsAtTheCountOrWhenTheTargetIsFull) {
  PeerSends(std::string(6000, 'b'));
  PeerCloses();
  TBuffer roomy(10000);
  EXPECT_EQ(5000, Stream->ReadToBuffer(roomy, 5000));
  TBuffer small(100);
  EXPECT_EQ(0, Stream->ReadToBuffer(small, 1000)) << "a piece that does not fit ends the read";
}

TEST_F(SockStreamTest, ReadsAndWritesOnAResetConnectionReportFailureQuietly) {
  Peer.Close();
  char out[8];
  EXPECT_EQ(0, Stream->ReadBuf(out, sizeof out));
  std::string line = "kept";
  EXPECT_FALSE(Stream->ReadLine(line));
  EXPECT_EQ("kept", line);
  // The first send after a reset may still be accepted by the kernel; a later one fails.
  bool failed = false;
  for (int i = 0; i < 50 && !failed; ++i) failed = !Stream->WriteLine(std::string(1000, 'x'));
  EXPECT_TRUE(failed);
}

int IntOption(int handle, int level, int name) {
  int value = -1;
  socklen_t length = sizeof value;
  return ::getsockopt(handle, level, name, &value, &length) == 0 ? value : -1;
}

int TimeoutMsOption(int handle, int name) {
  timeval value{};
  socklen_t length = sizeof value;
  if (::getsockopt(handle, SOL_SOCKET, name, &value, &length) != 0) return -1;
  return static_cast<int>(value.tv_sec * 1000 + value.tv_usec / 1000);
}

// The accepted connections are not given their options one by one: they take them from the
// listening socket, which only works because the system copies them over.
TEST(AcceptedStreamTest, ComesWithTheListenersOptionsItsPeerAndItsLocalPort) {
  TSockStream listener;
  listener.Listen("", "127.0.0.1", 0, 8);
  listener.SetIdleTimeout(1500);
  listener.EnableKeepAlive();
  test::TRawSocket client = test::ConnectTo(listener.LocalPort());
  int error = 0;
  const std::unique_ptr<TSockStream> accepted = listener.Accept(error);
  ASSERT_TRUE(accepted) << error;
  const int handle = accepted->NativeHandle();
  EXPECT_EQ(1500, TimeoutMsOption(handle, SO_RCVTIMEO));
  EXPECT_EQ(1500, TimeoutMsOption(handle, SO_SNDTIMEO));
  EXPECT_EQ(1, IntOption(handle, SOL_SOCKET, SO_KEEPALIVE));
  EXPECT_EQ(60, IntOption(handle, IPPROTO_TCP, TCP_KEEPIDLE));
  EXPECT_EQ(10, IntOption(handle, IPPROTO_TCP, TCP_KEEPINTVL));
  EXPECT_EQ(6, IntOption(handle, IPPROTO_TCP, TCP_KEEPCNT));
  EXPECT_EQ(1, IntOption(handle, IPPROTO_TCP, TCP_NODELAY));
  EXPECT_EQ("127.0.0.1", accepted->RemoteAddress());
  EXPECT_EQ(listener.LocalPort(), accepted->LocalPort());

  // Another time-out for this connection alone still reaches the system.
  accepted->SetIdleTimeout(3000);
  EXPECT_EQ(3000, TimeoutMsOption(handle, SO_RCVTIMEO));
  accepted->SetIdleTimeout(0);
  EXPECT_EQ(0, TimeoutMsOption(handle, SO_SNDTIMEO));
  EXPECT_EQ(1500, TimeoutMsOption(listener.NativeHandle(), SO_RCVTIMEO));
}

}  // namespace
}  // namespace tarnwick
