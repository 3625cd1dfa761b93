#include <gtest/gtest.h>

#include <netdb.h>
#include <cerrno>
#include <functional>
#include <thread>

#include "platform/Event.h"
#include "platform/Exceptions.h"
#include "platform/Socket.h"
#include "platform/SocketError.h"
#include "support/Loopback.h"

namespace tarnwick {
namespace {

TEST(SocketErrorTest, SystemErrorsMapOntoTheCodesOfTheTextTable) {
  EXPECT_EQ("Connection refused", SocketErrorText(WinSockCodeFromErrno(ECONNREFUSED)));
  EXPECT_EQ("Connection timed out", SocketErrorText(WinSockCodeFromErrno(ETIMEDOUT)));
  EXPECT_EQ("No route to host", SocketErrorText(WinSockCodeFromErrno(EHOSTUNREACH)));
  EXPECT_EQ("Too many open files", SocketErrorText(WinSockCodeFromErrno(ENFILE)));
  EXPECT_EQ("Address already in use", SocketErrorText(WinSockCodeFromErrno(EADDRINUSE)));
  EXPECT_EQ("Host not found", SocketErrorText(WinSockCodeFromResolver(EAI_NONAME)));
  EXPECT_EQ("Non-authoritative host found", SocketErrorText(WinSockCodeFromResolver(EAI_AGAIN)));
  EXPECT_EQ("Code: WSAStartup() not performed", SocketErrorText(10093));
  EXPECT_EQ("", SocketErrorText(10022)) << "codes outside the table have no text";
  EXPECT_EQ("", SocketErrorText(0));
}

int ClosedPort() {
  TCustomWinSocket probe;
  probe.Listen("", "127.0.0.1", 0, 1);
  return probe.LocalPort();  // closed again when probe goes
}

TEST(SocketErrorTest, AFailedConnectRaisesESocketErrorWithItsCode) {
  TCustomWinSocket socket;
  try {
    socket.Open("127.0.0.1", ClosedPort());
    FAIL() << "connect to a closed port must fail";
  } catch (const ESocketError& error) {
    EXPECT_EQ(10061, error.Code);
    EXPECT_EQ("connect", error.Call);
  }
  EXPECT_FALSE(socket.IsOpen());
}

// The code travels in the exception alone, the same on every thread: nothing a thread did before
// colours what another thread (or a later call) is told.
TEST(SocketErrorTest, EveryThreadAndEveryCallGetsItsOwnCodeInTheException) {
  const int port = ClosedPort();
  const auto codeOf = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const ESocketError& error) {
      return error.Code;
    }
    return 0;
  };
  int onThread = 0;
  std::thread client([&] {
    TCustomWinSocket socket;
    onThread = codeOf([&] { socket.Open("127.0.0.1", port); });
  });
  client.join();
  EXPECT_EQ(10061, onThread);
  TCustomWinSocket bad;
  EXPECT_EQ(10049, codeOf([&] { bad.Listen("", "not an address", 0, 1); }));
  TCustomWinSocket socket;
  EXPECT_EQ(10061, codeOf([&] { socket.Open("127.0.0.1", port); })) << "not the previous call's code";
}

TEST(SocketTest, PeerAddressIsDottedTextAndEmptyWhenNotConnected) {
  TCustomWinSocket unconnected;
  EXPECT_EQ("", unconnected.RemoteAddress());
  auto pair = test::MakeStreamPair();
  EXPECT_EQ("127.0.0.1", pair.Stream->RemoteAddress());
}

TEST(SocketTest, ShutdownWakesABlockedAccept) {
  TCustomWinSocket listener;
  listener.Listen("", "127.0.0.1", 0, 5);
  int error = 0;
  int handle = 0;
  std::thread acceptor([&] {
    sockaddr_storage peer{};
    handle = listener.AcceptHandle(error, peer);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  listener.Shutdown();
  acceptor.join();
  EXPECT_EQ(-1, handle);
  EXPECT_NE(0, error);
}

TEST(EventTest, ASignalReleasesExactlyOneWait) {
  TEvent event;
  EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(1)));
  event.SetEvent();
  event.SetEvent();
  EXPECT_TRUE(event.WaitFor(std::chrono::milliseconds(1)));
  EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(1))) << "the event resets as a waiter passes";
  std::thread setter([&] { event.SetEvent(); });
  event.WaitFor();
  setter.join();
}

}  // namespace
}  // namespace tarnwick
