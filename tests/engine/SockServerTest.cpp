#include "engine/SockServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/FilterProxy.h"
#include "platform/Exceptions.h"
#include "prefs/Prefs.h"
#include "support/Loopback.h"

namespace tarnwick {
namespace {

using test::ConnectTo;
using test::WaitUntil;

// Answers each connection's first line with "echo:" and the line, on a detached thread of its own
// that touches nothing of the server, which may be gone before the thread ends.
class TEchoServer : public TSockServer {
 public:
  ~TEchoServer() override { Terminate(); }
  std::atomic<int> Accepted{0};

 protected:
  void ClientConnected(std::unique_ptr<TSockStream> client) override {
    ++Accepted;
    std::thread([this, stream = std::move(client)] {
      std::string line;
      if (stream->ReadLine(line)) stream->WriteLine("echo:" + line);
    }).detach();
  }
};

std::string Exchange(int port, const std::string& line, const std::string& host = "127.0.0.1") {
  auto socket = ConnectTo(port, host);
  if (!socket.Valid()) return "<refused>";
  socket.Send(line + "\r\n");
  return socket.ReceiveAll();
}

class SockServerTest : public ::testing::Test {
 protected:
  void StartOn(int port) {
    Server.Port = port;
    Server.BindAddress = "127.0.0.1";
    Server.Start();
  }
  TEchoServer Server;
};

TEST_F(SockServerTest, ServesEachConnectionOnItsOwnThread) {
  StartOn(0);
  const int port = Server.ListeningPort();
  ASSERT_NE(0, port) << "port 0 asks the system for a free one";
  EXPECT_EQ("echo:one\r\n", Exchange(port, "one"));
  EXPECT_EQ("echo:two\r\n", Exchange(port, "two"));
}

TEST_F(SockServerTest, StartTwiceAndStopWhenIdleDoNothing) {
  Server.Stop();
  EXPECT_FALSE(Server.Active());
  StartOn(0);
  const int port = Server.ListeningPort();
  Server.Start();
  EXPECT_EQ(port, Server.ListeningPort());
  EXPECT_EQ("echo:x\r\n", Exchange(port, "x"));
}

TEST_F(SockServerTest, PortInUseFailsAndAFreePortWorksAfterwards) {
  TEchoServer holder;
  holder.BindAddress = "127.0.0.1";
  holder.Start();
  const int taken = holder.ListeningPort();
  try {
    StartOn(taken);
    FAIL() << "a port in use must not be accepted";
  } catch (const ESocketError& error) {
    EXPECT_EQ(10048, error.Code);
  }
  EXPECT_FALSE(Server.Active());
  StartOn(0);
  EXPECT_TRUE(Server.Active());
  EXPECT_EQ("echo:after\r\n", Exchange(Server.ListeningPort(), "after"));
}

TEST_F(SockServerTest, OnlyTheLowSixteenBitsOfThePortAreUsed) {
  if (ConnectTo(4464).Valid()) GTEST_SKIP() << "port 4464 is taken on this machine";
  StartOn(70000);
  EXPECT_EQ(4464, Server.ListeningPort());
  EXPECT_EQ("echo:wrapped\r\n", Exchange(4464, "wrapped"));
}

TEST_F(SockServerTest, StopRefusesNewConnectionsAndStartResumes) {
  StartOn(0);
  const int port = Server.ListeningPort();
  Server.Stop();
  EXPECT_FALSE(Server.Active());
  EXPECT_EQ("<refused>", Exchange(port, "late"));
  StartOn(port);
  EXPECT_EQ("echo:again\r\n", Exchange(port, "again"));
}

TEST_F(SockServerTest, StopWhileAClientIsServedLetsItsResponseComplete) {
  StartOn(0);
  auto client = ConnectTo(Server.ListeningPort());
  ASSERT_TRUE(client.Valid());
  client.Send("hal");
  // The connection is accepted, and its thread waits for the rest of the line, before the stop.
  ASSERT_TRUE(WaitUntil([&] { return Server.Accepted.load() == 1; }));
  Server.Stop();
  client.Send("f\r\n");
  EXPECT_EQ("echo:half\r\n", client.ReceiveAll());
}

TEST(SockServerLifetimeTest, DestructionReturnsWhetherIdleOrListening) {
  { TEchoServer idle; }
  int port = 0;
  {
    TEchoServer listening;
    listening.BindAddress = "127.0.0.1";
    listening.Start();
    port = listening.ListeningPort();
  }
  EXPECT_EQ("<refused>", Exchange(port, "gone"));
}

// Offline mode answers every request itself, which is all these tests need of the pipeline.
constexpr std::string_view kRequest = "GET http://x/ HTTP/1.0\r\n\r\n";
constexpr std::string_view kOfflineAnswer = "HTTP/1.0 304 Not Modified\r\nServer: Tarnwick  V1.4\r\n\r\n\r\n";

std::string AskOffline(int port, const std::string& host = "127.0.0.1") {
  auto socket = ConnectTo(port, host);
  if (!socket.Valid()) return "<refused>";
  socket.Send(std::string(kRequest));
  return socket.ReceiveAll();
}

class FilterProxyTest : public ::testing::Test {
 protected:
  std::unique_ptr<TFilterProxy> StartProxy(bool allowOthers) {
    TPrefsSettings settings;
    settings.ListenPort = 0;
    settings.AllowOthers = allowOthers;
    settings.Offline = true;
    Prefs->Publish(settings);
    auto proxy = std::make_unique<TFilterProxy>(TProxyContext{Prefs});
    proxy->Start();
    return proxy;
  }
  std::shared_ptr<TCorvanePrefs> Prefs = std::make_shared<TCorvanePrefs>("+0000");
};

TEST_F(FilterProxyTest, WithoutExternalAccessOnlyLoopbackIsServed) {
  auto proxy = StartProxy(false);
  EXPECT_EQ("127.0.0.1", proxy->ListeningAddress());
  EXPECT_EQ("<refused>", AskOffline(proxy->ListeningPort(), "127.0.0.2"));
  EXPECT_EQ(kOfflineAnswer, AskOffline(proxy->ListeningPort()));
}

TEST_F(FilterProxyTest, WithExternalAccessEveryInterfaceIsServed) {
  auto proxy = StartProxy(true);
  EXPECT_EQ("0.0.0.0", proxy->ListeningAddress());
  EXPECT_EQ(kOfflineAnswer, AskOffline(proxy->ListeningPort(), "127.0.0.2"));
}

TEST_F(FilterProxyTest, CountersStayExactUnderManyConcurrentConnections) {
  auto proxy = StartProxy(false);
  const int port = proxy->ListeningPort();
  constexpr int kClients = 64;
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&] {
      if (AskOffline(port) == kOfflineAnswer) ++answered;
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_EQ(kClients, answered.load());
  ASSERT_TRUE(WaitUntil([&] { return Prefs->ActiveConnections.load() == 0; }));
  EXPECT_EQ(kClients, Prefs->ConnCnt.load());
  EXPECT_EQ(static_cast<std::int64_t>(kRequest.size()) * kClients, Prefs->RecvCnt.load());
  EXPECT_EQ(static_cast<std::int64_t>(kOfflineAnswer.size()) * kClients, Prefs->SentCnt.load());
}

// Fails the first connection the way an exhausted system would, then serves like the echo server.
class TFailingFirstServer : public TEchoServer {
 public:
  ~TFailingFirstServer() override { Terminate(); }

 protected:
  void ClientConnected(std::unique_ptr<TSockStream> client) override {
    if (Failures.fetch_add(1) == 0) throw std::bad_alloc();
    TEchoServer::ClientConnected(std::move(client));
  }
  std::atomic<int> Failures{0};
};

TEST(SockServerFailureTest, AFailureOfOneConnectionLeavesTheServerAccepting) {
  TFailingFirstServer server;
  server.BindAddress = "127.0.0.1";
  server.Start();
  const int port = server.ListeningPort();
  EXPECT_EQ("", Exchange(port, "lost")) << "the failed connection is closed unserved";
  EXPECT_TRUE(server.Active());
  EXPECT_EQ("echo:next\r\n", Exchange(port, "next"));
}

}  // namespace
}  // namespace tarnwick
