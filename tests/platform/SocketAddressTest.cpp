#include "platform/SocketAddress.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include "engine/SockStream.h"
#include "platform/Exceptions.h"
#include "text/UrlText.h"

namespace tarnwick {
namespace {

std::string TextOf(const std::string& numeric) {
  TSocketAddress address;
  if (!ParseNumericAddress(numeric, 80, address)) return "<not numeric>";
  return AddressText(address.Get());
}

TEST(SocketAddressTest, AddressesOfBothFamiliesReadAndPrintTheWayUsersWriteThem) {
  EXPECT_EQ("127.0.0.1", TextOf("127.0.0.1"));
  EXPECT_EQ("::1", TextOf("::1"));
  EXPECT_EQ("::1", TextOf("[::1]"));
  EXPECT_EQ("2001:db8::5", TextOf("2001:0db8:0:0::5"));
  EXPECT_EQ("192.168.1.20", TextOf("::ffff:192.168.1.20")) << "an IPv4 client on an IPv6 socket is an IPv4 client";
  EXPECT_EQ("<not numeric>", TextOf("localhost"));
  EXPECT_EQ("<not numeric>", TextOf("1.2.3.4.5"));
  EXPECT_EQ("<not numeric>", TextOf("[::1"));
}

TEST(SocketAddressTest, LoopbackIsAllOf127AndOnlyOneIPv6Address) {
  for (const char* local : {"127.0.0.1", "127.1.2.3", "::1"}) EXPECT_TRUE(IsLoopbackText(local)) << local;
  for (const char* other : {"128.0.0.1", "10.0.0.1", "::2", "fe80::1", "", "localhost"}) {
    EXPECT_FALSE(IsLoopbackText(other)) << other;
  }
}

TEST(SocketAddressTest, ResolvingKeepsNumericAddressesAndReportsUnknownNames) {
  const auto v6 = ResolveHost("::1", 8080);
  ASSERT_EQ(1u, v6.size());
  EXPECT_EQ(AF_INET6, v6[0].Family());
  EXPECT_EQ(8080, AddressPort(v6[0].Get()));
  EXPECT_EQ(70000 & 0xFFFF, AddressPort(ResolveHost("127.0.0.1", 70000)[0].Get()));
  try {
    ResolveHost("no-such-host.invalid", 80);
    ADD_FAILURE() << "an unknown name must raise";
  } catch (const ESocketError& error) {
    EXPECT_EQ(11001, error.Code);
  }
}

TEST(SocketAddressTest, AnIPv6LiteralInAUrlKeepsItsBracketsAndItsPort) {
  const TUrlParts parts = SplitUrl("http://[::1]:8080/page?x=1");
  EXPECT_EQ("[::1]", parts.Host);
  EXPECT_EQ("8080", parts.Port);
  EXPECT_EQ("/page?x=1", parts.Path);
  EXPECT_EQ("[2001:db8::1]", SplitUrl("http://u:p@[2001:db8::1]/").Host);
  EXPECT_EQ("u", SplitUrl("http://u:p@[2001:db8::1]/").User);
  EXPECT_EQ("", SplitUrl("http://[::1]/").Port);
  EXPECT_EQ("443", SplitUrl("[::1]:443").Port) << "a CONNECT target";
}

TEST(SocketAddressTest, StreamsConnectAndListenOverIPv6) {
  TSockStream listener;
  listener.Listen({}, "::1", 0, 5);
  EXPECT_EQ("::1", listener.LocalAddress());
  TSockStream client;
  client.Open("::1", listener.LocalPort());
  int error = 0;
  auto accepted = listener.Accept(error);
  ASSERT_NE(nullptr, accepted);
  EXPECT_EQ("::1", accepted->RemoteAddress());
  EXPECT_EQ(3, client.WriteBuf("abc", 3));
  char got[3];
  EXPECT_EQ(3, accepted->ReadBuf(got, 3));
}

}  // namespace
}  // namespace tarnwick
