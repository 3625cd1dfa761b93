#include "engine/Tunnel.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "prefs/Prefs.h"
#include "support/Loopback.h"

namespace tarnwick {
namespace {

using test::MakeStreamPair;
using test::TStreamPair;

// A tunnel between a test client and a test server, relaying on a thread of its own.
class TunnelTest : public ::testing::Test {
 protected:
  void Open() {
    Relay = std::async(std::launch::async, [this] { return RelayTunnel(*Client.Stream, *Server.Stream); });
  }
  TTunnelCounts Counts() {
    EXPECT_EQ(std::future_status::ready, Relay.wait_for(std::chrono::seconds(10))) << "the tunnel must end";
    return Relay.get();
  }

  TCorvanePrefs Prefs{"+0000"};
  TStreamPair Client = MakeStreamPair(&Prefs);
  TStreamPair Server = MakeStreamPair(&Prefs);
  std::future<TTunnelCounts> Relay;
};

TEST_F(TunnelTest, BytesPassBothWaysExactlyAndAHalfCloseIsPassedOn) {
  Open();
  std::string binary;
  for (int i = 0; i < 300000; ++i) binary.push_back(static_cast<char>(i * 7 % 256));
  Client.Peer.Send("\x16\x03\x01 hello" + binary);
  Client.Peer.ShutdownWrite();
  EXPECT_EQ("\x16\x03\x01 hello" + binary, Server.Peer.ReceiveAll()) << "the client's end reaches the server";
  // The other direction is still open after the client's half-close.
  Server.Peer.Send("answer after the half-close");
  Server.Peer.Close();
  EXPECT_EQ("answer after the half-close", Client.Peer.ReceiveAll());
  const TTunnelCounts counts = Counts();
  EXPECT_EQ(static_cast<std::int64_t>(binary.size() + 9), counts.ToServer);
  EXPECT_EQ(27, counts.ToClient);
  EXPECT_EQ(counts.ToServer + counts.ToClient, Prefs.SentCnt.load()) << "both ways counted as sent";
  EXPECT_EQ(counts.ToServer + counts.ToClient, Prefs.RecvCnt.load()) << "and as received";
}

TEST_F(TunnelTest, BytesThatCameBehindTheHeadGoFirst) {
  const std::string held = "client hello behind the CONNECT head";
  Client.Stream->InBuffer.Write(held.data(), static_cast<std::int32_t>(held.size()));
  Open();
  EXPECT_EQ(held, Server.Peer.ReceiveSome());
  Server.Peer.Close();
  Client.Peer.Close();
  EXPECT_EQ(static_cast<std::int64_t>(held.size()), Counts().ToServer);
}

TEST_F(TunnelTest, AServerThatClosesFirstEndsTheTunnelOnceTheClientIsDone) {
  Open();
  Server.Peer.Send("bye");
  Server.Peer.Close();
  EXPECT_EQ("bye", Client.Peer.ReceiveSome());
  Client.Peer.Close();
  EXPECT_EQ(3, Counts().ToClient);
}

}  // namespace
}  // namespace tarnwick
