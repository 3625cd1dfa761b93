#include "engine/Buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarnwick {
namespace {

std::string Bytes(size_t n, char fill = 'x') { return std::string(n, fill); }

std::string ReadAll(TBuffer& buffer) {
  std::string out(static_cast<size_t>(buffer.Unread()), '\0');
  buffer.Read(out.data(), static_cast<std::int32_t>(out.size()));
  return out;
}

TEST(BufferTest, TakingTheLastByteReturnsBothPositionsToZero) {
  TBuffer buffer(16);
  buffer.Write("abcdef", 6);
  char two[2];
  ASSERT_EQ(2, buffer.Read(two, 2));
  EXPECT_EQ(2, buffer.ReadPos);
  EXPECT_EQ(4, buffer.Skip(100));
  EXPECT_EQ(0, buffer.ReadPos);
  EXPECT_EQ(0, buffer.WritePos);
  buffer.Write("Z", 1);
  EXPECT_EQ('Z', buffer.Data()[0]);
}

TEST(BufferTest, RoomFreedAtTheFrontIsNotReusedWhileDataRemains) {
  TBuffer buffer(8192);
  const std::string filler = Bytes(8100);
  ASSERT_EQ(8100, buffer.Write(filler.data(), 8100));
  ASSERT_EQ(8000, buffer.Skip(8000));
  ASSERT_EQ(100, buffer.Unread());
  const std::string more = Bytes(200, 'y');
  EXPECT_EQ(92, buffer.Write(more.data(), 200));
  EXPECT_EQ(8192, buffer.WritePos);
  EXPECT_EQ(0, buffer.Write("q", 1));
  EXPECT_FALSE(buffer.WriteByte('q'));
  EXPECT_EQ(std::string(100, 'x') + std::string(92, 'y'), ReadAll(buffer));
}

TEST(BufferTest, CapacityRules) {
  TBuffer zero(0);
  EXPECT_EQ(1514, zero.Capacity);
  TBuffer negative(-7);
  EXPECT_EQ(1514, negative.Capacity);

  TBuffer grown(4);
  grown.Write("abcd", 4);
  grown.Skip(1);
  grown.SetCapacity(10);
  EXPECT_EQ(10, grown.Capacity);
  EXPECT_EQ(1, grown.ReadPos);
  EXPECT_EQ(6, grown.Write("efghijkl", 8));
  EXPECT_EQ("bcdefghij", ReadAll(grown));
  EXPECT_EQ(0, grown.Data()[grown.Capacity]) << "room for a terminating zero after full data";
}

TEST(BufferTest, ByteAndWordReads) {
  TBuffer buffer(8);
  std::uint8_t b = 0;
  std::uint16_t w = 0;
  EXPECT_FALSE(buffer.ReadByte(b));
  buffer.WriteByte(0x47);
  EXPECT_FALSE(buffer.ReadWord(w)) << "one unread byte is not a word";
  EXPECT_EQ(1, buffer.Unread()) << "a failed word read consumes nothing";
  buffer.WriteByte(0x01);
  ASSERT_TRUE(buffer.ReadWord(w));
  const std::uint8_t stored[2] = {0x47, 0x01};
  std::uint16_t expected = 0;
  std::memcpy(&expected, stored, 2);
  EXPECT_EQ(expected, w);
  EXPECT_TRUE(buffer.Empty());
}

TEST(BufferTest, PeekShowsUnreadBytesWithoutConsuming) {
  TBuffer buffer(8);
  buffer.Write("hello", 5);
  buffer.Skip(1);
  const auto unread = buffer.Peek();
  EXPECT_EQ("ello", std::string(unread.begin(), unread.end()));
  EXPECT_EQ(4, buffer.Unread());
}

}  // namespace
}  // namespace tarnwick
