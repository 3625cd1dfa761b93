#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
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

TEST(SocketErrorTest, WithoutAHookAFailedConnectRaisesESocketError) {
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

TEST(SocketErrorTest, AThreadsHookDecidesAndLeavesOtherThreadsAlone) {
  const int port = ClosedPort();
  std::thread client([port] {
    TScopedSocketErrorHook hook([](int code, std::string_view) {
      LastSocketError = code;
      throw EHTProxyException("Socket Error");
    });
    TCustomWinSocket socket;
    EXPECT_THROW(socket.Open("127.0.0.1", port), EHTProxyException);
    EXPECT_EQ(10061, LastSocketError);
  });
  client.join();
  EXPECT_EQ(0, LastSocketError);
  EXPECT_FALSE(SocketErrorHook);
  TCustomWinSocket socket;
  EXPECT_THROW(socket.Open("127.0.0.1", port), ESocketError);
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
  std::thread acceptor([&] { handle = listener.AcceptHandle(error); });
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
