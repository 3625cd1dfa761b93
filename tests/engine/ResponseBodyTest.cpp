#include "engine/ResponseBody.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/Loopback.h"

namespace tarnwick {
namespace {

// Decodes `wire` fed in two pieces split at `split`; returns the body and whether it finished.
std::string DecodeSplit(const std::string& wire, size_t split, bool* finished = nullptr, bool* broken = nullptr) {
  TChunkedDecoder decoder;
  std::string body;
  for (const std::string& part : {wire.substr(0, split), wire.substr(split)}) {
    std::string piece = part;
    auto* bytes = reinterpret_cast<std::uint8_t*>(piece.data());
    const std::int32_t n = decoder.Decode(bytes, static_cast<std::int32_t>(piece.size()));
    body.append(piece.data(), static_cast<size_t>(n));
  }
  if (finished != nullptr) *finished = decoder.Finished();
  if (broken != nullptr) *broken = decoder.Broken();
  return body;
}

// The same result for every split point of the wire text.
std::string DecodeEverySplit(const std::string& wire, bool expectBroken = false) {
  const std::string whole = DecodeSplit(wire, wire.size());
  for (size_t split = 0; split <= wire.size(); ++split) {
    bool finished = false;
    bool broken = false;
    EXPECT_EQ(whole, DecodeSplit(wire, split, &finished, &broken)) << "split at " << split;
    EXPECT_TRUE(finished) << "split at " << split;
    EXPECT_EQ(expectBroken, broken) << "split at " << split;
  }
  return whole;
}

TEST(ChunkedDecoderTest, DecodesSizesExtensionsAndTrailersAtEverySplit) {
  EXPECT_EQ("hello, world", DecodeEverySplit("5\r\nhello\r\n7;name=\"x\"\r\n, world\r\n0\r\n\r\n"));
  EXPECT_EQ(std::string(26, 'z'),
            DecodeEverySplit("1A\r\n" + std::string(26, 'z') + "\r\n0\r\nExpires: never\r\nX: y\r\n\r\n"));
  EXPECT_EQ("ab", DecodeEverySplit("2\nab\n0\n\n")) << "bare line feeds are accepted";
  EXPECT_EQ("", DecodeEverySplit("0\r\n\r\n"));
}

TEST(ChunkedDecoderTest, BytesAfterTheLastChunkAreNotBody) {
  EXPECT_EQ("abc", DecodeEverySplit("3\r\nabc\r\n0\r\n\r\nHTTP/1.1 200 OK\r\n"));
}

TEST(ChunkedDecoderTest, BrokenFramingEndsTheBodyAndKeepsWhatCameBefore) {
  EXPECT_EQ("abc", DecodeEverySplit("3\r\nabc\r\nzz\r\nmore", true)) << "not a size";
  EXPECT_EQ("abc", DecodeEverySplit("3\r\nabcX\r\n0\r\n\r\n", true)) << "data longer than its size";
  EXPECT_EQ("", DecodeEverySplit("1234567890ABCDEF0\r\n", true)) << "a size that would overflow";
  EXPECT_EQ("", DecodeEverySplit("\r\n0\r\n\r\n", true)) << "an empty size line";
  EXPECT_EQ("", DecodeEverySplit("5;" + std::string(9000, 'e') + "\r\nhello\r\n0\r\n\r\n", true))
      << "an extension without end";
}

// A server stream with the given bytes on the wire, closed afterwards.
struct TServedBody {
  explicit TServedBody(const std::string& wire) {
    Pair = test::MakeStreamPair();
    Pair.Peer.Send(wire);
    Pair.Peer.ShutdownWrite();
  }
  std::string ReadAll(TResponseBody& body, std::int32_t pieceSize = 7) {
    std::string all;
    std::string piece(static_cast<size_t>(pieceSize), '\0');
    for (int guard = 0; guard < 100000; ++guard) {
      const std::int32_t got = body.Read(*Pair.Stream, reinterpret_cast<std::uint8_t*>(piece.data()), pieceSize);
      if (got == 0) break;
      all.append(piece.data(), static_cast<size_t>(got));
    }
    return all;
  }
  test::TStreamPair Pair;
};

TEST(ResponseBodyTest, AChunkedBodyIsDecodedAndLosesItsTransferEncoding) {
  THeaderList headers;
  headers.AddLine("Content-Type: text/html");
  headers.AddLine("Transfer-Encoding:  Chunked ");
  TResponseBody body;
  ASSERT_TRUE(body.Start(headers, -1));
  EXPECT_FALSE(headers.Has("Transfer-Encoding"));
  TServedBody served("4\r\n<p>x\r\n3\r\n</p\r\n1\r\n>\r\n0\r\n\r\n");
  EXPECT_EQ("<p>x</p>", served.ReadAll(body));
}

TEST(ResponseBodyTest, ALengthEndsTheBodyEvenIfTheServerSendsMore) {
  THeaderList headers;
  TResponseBody body;
  ASSERT_TRUE(body.Start(headers, 10));
  TServedBody served("0123456789EXTRA");
  EXPECT_EQ("0123456789", served.ReadAll(body, 4));
}

TEST(ResponseBodyTest, WithoutLengthTheBodyRunsToTheClose) {
  THeaderList headers;
  TResponseBody body;
  ASSERT_TRUE(body.Start(headers, -1));
  TServedBody served(std::string(100000, 'q'));
  EXPECT_EQ(std::string(100000, 'q'), served.ReadAll(body, 4096));
}

TEST(ResponseBodyTest, OtherTransferCodingsAreLeftAlone) {
  THeaderList headers;
  headers.AddLine("Transfer-Encoding: gzip, chunked");
  EXPECT_TRUE(TResponseBody::Unreadable(headers));
  TResponseBody body;
  EXPECT_FALSE(body.Start(headers, -1));
  EXPECT_TRUE(headers.Has("Transfer-Encoding"));
}

}  // namespace
}  // namespace tarnwick
