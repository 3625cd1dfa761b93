#include "engine/ImageParsers.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

using namespace std::string_literals;

std::string Gif(const char* signature, int width, int height, const std::string& rest = "") {
  std::string bytes = signature;
  for (int v : {width, height}) {
    bytes.push_back(static_cast<char>(v & 0xFF));
    bytes.push_back(static_cast<char>(v >> 8));
  }
  return bytes + rest;
}

std::string Segment(unsigned char marker, const std::string& payload) {
  const size_t length = payload.size() + 2;
  return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                     static_cast<char>(length & 0xFF)} +
         payload;
}

// A start-of-frame segment: precision 8, then height and width big-endian.
std::string Frame(unsigned char marker, int width, int height) {
  return Segment(marker, std::string{8, static_cast<char>(height >> 8), static_cast<char>(height & 0xFF),
                                     static_cast<char>(width >> 8), static_cast<char>(width & 0xFF), 3});
}

const std::string kSoi = "\xFF\xD8"s;

std::span<const std::uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TPictureSize GifOf(const std::string& bytes, bool expectOk = true) {
  TPictureSize size{-1, -1};
  EXPECT_EQ(expectOk, GifSize(Span(bytes), size));
  return size;
}

TPictureSize JpegOf(const std::string& bytes, bool expectOk = true) {
  TPictureSize size{-1, -1};
  EXPECT_EQ(expectOk, JpegSize(Span(bytes), size));
  return size;
}

TBuffer Hold(const std::string& bytes) {
  TBuffer buffer(8192);
  buffer.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  return buffer;
}

std::string Unread(const TBuffer& buffer) {
  const auto bytes = buffer.Peek();
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(GifSizeTest, ReadsTheLogicalScreenOfBothVersionsLittleEndian) {
  TPictureSize size = GifOf(Gif("GIF89a", 468, 60));
  EXPECT_EQ(468, size.Width);
  EXPECT_EQ(60, size.Height);
  size = GifOf(Gif("GIF87a", 0xFFFF, 0x0102));
  EXPECT_EQ(65535, size.Width);
  EXPECT_EQ(258, size.Height);
}

TEST(GifSizeTest, OtherSignaturesAndShortDataFail) {
  GifOf(Gif("GIF88a", 1, 1), false);
  GifOf(Gif("gif89a", 1, 1), false);
  GifOf(Gif("GIF89a", 1, 1).substr(0, 9), false);
  GifOf("", false);
}

TEST(GifSizeTest, TheBufferFormReadsTheUnreadBytesWithoutConsumingThem) {
  TBuffer buffer = Hold("xx" + Gif("GIF89a", 120, 600));
  buffer.Skip(2);
  TPictureSize size;
  ASSERT_TRUE(GifSize(buffer, size));
  EXPECT_EQ(120, size.Width);
  EXPECT_EQ(600, size.Height);
  EXPECT_EQ(2, buffer.ReadPos);
}

TEST(JpegSizeTest, FindsTheFrameHeaderAfterApplicationSegmentsAndTables) {
  const std::string jpeg = kSoi + Segment(0xE0, "JFIF" + std::string(10, '\0')) + Segment(0xE1, std::string(900, 'x')) +
                           Segment(0xDB, std::string(64, '\1')) + Segment(0xC4, std::string(30, '\2')) +
                           Frame(0xC0, 468, 60) + "\xFF\xDA";
  const TPictureSize size = JpegOf(jpeg);
  EXPECT_EQ(468, size.Width);
  EXPECT_EQ(60, size.Height);
}

TEST(JpegSizeTest, EveryStartOfFrameMarkerCountsAndC4C8CCAreSegments) {
  for (unsigned char marker : {0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}) {
    EXPECT_EQ(300, JpegOf(kSoi + Frame(marker, 300, 250)).Width) << std::hex << int(marker);
  }
  for (unsigned char marker : {0xC4, 0xC8, 0xCC}) {
    // Taken as a segment with its length, so the frame behind it is still found.
    EXPECT_EQ(10, JpegOf(kSoi + Segment(marker, "abc") + Frame(0xC2, 10, 20)).Width) << std::hex << int(marker);
  }
}

TEST(JpegSizeTest, BytesBeforeAMarkerAreSkippedAndAFrameBeyondTheDataFails) {
  EXPECT_EQ(7, JpegOf("junk" + kSoi + Frame(0xC0, 7, 9)).Width);
  // The frame lies beyond the held bytes: the big segment cannot be skipped.
  const std::string big = kSoi + Segment(0xE1, std::string(3000, 'x')) + Frame(0xC0, 468, 60);
  JpegOf(big.substr(0, 1500), false);
  EXPECT_EQ(468, JpegOf(big).Width);
}

TEST(JpegSizeTest, DamagedFilesFail) {
  JpegOf("", false);
  JpegOf("no marker at all", false);
  JpegOf("\xFF", false);
  JpegOf(kSoi + "\xFF\xC0\x00"s, false);                 // frame header cut off
  JpegOf(kSoi + Frame(0xC0, 1, 2).substr(0, 8), false);  // width missing
  JpegOf(kSoi + "\xFF\xE0\x00"s, false);                 // length cut off
  JpegOf(kSoi + "\xFF\xE0\x00\x10short"s, false);        // segment longer than the data
  // A length below 2 would step backwards or stand still: a damaged file, never a loop.
  JpegOf(kSoi + "\xFF\xE0\x00\x01"s + Frame(0xC0, 5, 5), false);
  JpegOf(kSoi + "\xFF\xE0\x00\x00"s + Frame(0xC0, 5, 5), false);
  EXPECT_EQ(5, JpegOf(kSoi + "\xFF\xE0\x00\x02"s + Frame(0xC0, 5, 5)).Width) << "2 is an empty segment";
}

const std::string kGce = "\x21\xF9\x04"s;

TEST(GifAnimationTest, FirstFrameModeCutsAtTheSecondControlBlockWithATrailer) {
  const std::string head = Gif("GIF89a", 10, 10, "\x80") + "palette";
  const std::string frame1 = kGce + "\x00\x0A\x00\x00"s + ",frame one data";
  const std::string frame2 = kGce + "\x00\x0A\x00\x00"s + ",frame two data;";
  TBuffer buffer = Hold(head + frame1 + frame2);
  ASSERT_TRUE(GifAnimation(buffer, 0, true));
  EXPECT_EQ(head + frame1 + "\x3B", Unread(buffer));
}

TEST(GifAnimationTest, FirstFrameModeLeavesAOneFrameGifAlone) {
  const std::string one = Gif("GIF89a", 1, 1) + kGce + "\x01\x00\x00\x00;"s;
  TBuffer buffer = Hold(one);
  EXPECT_FALSE(GifAnimation(buffer, 0, true));
  EXPECT_EQ(one, Unread(buffer));
}

TEST(GifAnimationTest, RepeatModeSetsTheLoopCountBytesOnly) {
  const std::string before = Gif("GIF89a", 2, 2) + "ct";
  const std::string loop = std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  TBuffer buffer = Hold(before + loop + "rest");
  ASSERT_TRUE(GifAnimation(buffer, 3, false));
  std::string expected = before + loop + "rest";
  expected[before.size() + 16] = '\x03';
  expected[before.size() + 17] = '\x00';
  EXPECT_EQ(expected, Unread(buffer));
  ASSERT_TRUE(GifAnimation(buffer, 0x10203, false)) << "the low 16 bits";
  EXPECT_EQ('\x03', Unread(buffer)[before.size() + 16]);
  EXPECT_EQ('\x02', Unread(buffer)[before.size() + 17]);
}

TEST(GifAnimationTest, RepeatModeNeedsTheExtensionAndItsCountBytes) {
  const std::string plain = Gif("GIF89a", 2, 2) + "no loop here";
  TBuffer buffer = Hold(plain);
  EXPECT_FALSE(GifAnimation(buffer, 3, false));
  EXPECT_EQ(plain, Unread(buffer));
  // Cut one byte before the count's high byte.
  const std::string cut = Gif("GIF89a", 2, 2) + std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x05", 17);
  TBuffer shortBuffer = Hold(cut);
  EXPECT_FALSE(GifAnimation(shortBuffer, 3, false));
  EXPECT_EQ(cut, Unread(shortBuffer));
}

}  // namespace
}  // namespace tarnwick
