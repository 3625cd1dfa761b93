#include "engine/ContentDecoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "support/Compression.h"

namespace tarnwick {
namespace {

using test::Brotli;
using test::Gzip;
using test::RawDeflate;
using test::ZlibDeflate;

// A page long enough to span many input and output pieces, with some variety so that the
// compressed form is not trivially short.
std::string Page(size_t size = 300000) {
  std::string page = "<!DOCTYPE html><html><body>\n";
  for (unsigned i = 0; page.size() < size; ++i) {
    page += "<p>Line " + std::to_string(i * 2654435761u % 100003) + " <img src=/i" + std::to_string(i) + ".gif></p>\n";
  }
  page.resize(size);
  return page;
}

struct TCase {
  const char* Name;
  TContentCoding Coding;
  std::function<std::string(std::string_view)> Encode;
};

const TCase kCases[] = {
    {"gzip", TContentCoding::Gzip, Gzip},
    {"zlib deflate", TContentCoding::Deflate, ZlibDeflate},
    {"raw deflate", TContentCoding::Deflate, RawDeflate},
    {"br", TContentCoding::Brotli, Brotli},
};

TEST(ContentDecoderTest, CodingNamesAreReadAsServersWriteThem) {
  EXPECT_EQ(TContentCoding::Identity, ContentCodingOf(""));
  EXPECT_EQ(TContentCoding::Identity, ContentCodingOf(" Identity "));
  EXPECT_EQ(TContentCoding::Gzip, ContentCodingOf("gzip"));
  EXPECT_EQ(TContentCoding::Gzip, ContentCodingOf("X-GZip"));
  EXPECT_EQ(TContentCoding::Deflate, ContentCodingOf(" DEFLATE"));
  EXPECT_EQ(TContentCoding::Brotli, ContentCodingOf("BR"));
  for (const char* other : {"zstd", "compress", "x-compress", "gzip, br", "gzip,gzip", "brotli"}) {
    EXPECT_EQ(TContentCoding::Unsupported, ContentCodingOf(other)) << other;
  }
}

TEST(ContentDecoderTest, EveryCodingDecodesWholeAtEveryPieceSize) {
  const std::string page = Page();
  for (const TCase& c : kCases) {
    const std::string body = c.Encode(page);
    for (const std::int32_t piece : {1, 7, 4096, 65536}) {
      const TDecodeResult result = DecodeAll(c.Coding, body, piece);
      EXPECT_FALSE(result.Damaged) << c.Name << " piece " << piece;
      EXPECT_FALSE(result.OverBound) << c.Name;
      EXPECT_TRUE(result.Bytes == page) << c.Name << " piece " << piece << ": " << result.Bytes.size() << " bytes";
    }
  }
}

TEST(ContentDecoderTest, GzipMembersFollowingEachOtherMakeOneBody) {
  const TDecodeResult result = DecodeAll(TContentCoding::Gzip, Gzip("first ") + Gzip("second"), 3);
  EXPECT_FALSE(result.Damaged);
  EXPECT_EQ("first second", result.Bytes);
}

TEST(ContentDecoderTest, BytesAfterTheStreamAreIgnoredAndAnEmptyBodyStaysEmpty) {
  const TDecodeResult trailing = DecodeAll(TContentCoding::Gzip, Gzip("page") + "\r\n", 5);
  EXPECT_FALSE(trailing.Damaged);
  EXPECT_EQ("page", trailing.Bytes);
  for (const TCase& c : kCases) {
    const TDecodeResult empty = DecodeAll(c.Coding, "");
    EXPECT_FALSE(empty.Damaged) << c.Name;
    EXPECT_EQ("", empty.Bytes) << c.Name;
  }
}

TEST(ContentDecoderTest, ACutStreamGivesWhatItHeldAndIsDamaged) {
  const std::string page = Page();
  for (const TCase& c : kCases) {
    const std::string body = c.Encode(page);
    for (const size_t keep : {size_t{1}, body.size() / 2, body.size() - 1}) {
      const TDecodeResult result = DecodeAll(c.Coding, std::string_view(body).substr(0, keep), 1000);
      EXPECT_TRUE(result.Damaged) << c.Name << " cut at " << keep;
      EXPECT_LE(result.Bytes.size(), page.size()) << c.Name;
      EXPECT_EQ(page.substr(0, result.Bytes.size()), result.Bytes) << c.Name << ": decoded bytes are the page's";
    }
  }
}

TEST(ContentDecoderTest, BytesThatAreNoStreamAreDamaged) {
  const std::string plain = "<html>this was never compressed</html>";
  for (const TCase& c : kCases) {
    EXPECT_TRUE(DecodeAll(c.Coding, plain).Damaged) << c.Name;
  }
  std::string broken = Gzip(Page(20000));
  broken[broken.size() - 3] ^= 0x55;  // the length in the trailer
  EXPECT_TRUE(DecodeAll(TContentCoding::Gzip, broken).Damaged);
}

// What the gzip tool and some servers write: an extra field, the file's name and a comment in the
// member's header, which the decoder must skip at any split; and a checksum that does not match.
TEST(ContentDecoderTest, GzipHeadersWithOptionalFieldsAreSkippedAndChecksumsChecked) {
  const std::string page = Page(50000);
  std::string named = Gzip(page);
  named[3] = 0x04 | 0x08 | 0x10;  // FEXTRA, FNAME, FCOMMENT
  named.insert(10, std::string("\x05\x00" "extra", 7) + std::string("page.html\0", 10) + std::string("a comment\0", 10));
  for (const std::int32_t piece : {1, 13, 65536}) {
    const TDecodeResult result = DecodeAll(TContentCoding::Gzip, named + Gzip("!"), piece);
    EXPECT_FALSE(result.Damaged) << "piece " << piece;
    EXPECT_TRUE(result.Bytes == page + "!") << "piece " << piece << ": " << result.Bytes.size() << " bytes";
  }
  std::string wrongSum = Gzip(page);
  wrongSum[wrongSum.size() - 8] ^= 0x01;  // the CRC-32 in the trailer
  const TDecodeResult result = DecodeAll(TContentCoding::Gzip, wrongSum, 4096);
  EXPECT_TRUE(result.Damaged);
  EXPECT_EQ(page.substr(0, result.Bytes.size()), result.Bytes);
}

TEST(ContentDecoderTest, ABombIsOverTheBoundButStillDecodedInFull) {
  const std::string zeros(TDecodingSource::kBombFloor + 4 * 1024 * 1024, '\0');
  for (const TCase& c : kCases) {
    const TDecodeResult result = DecodeAll(c.Coding, c.Encode(zeros), 65536, 0);
    EXPECT_TRUE(result.OverBound) << c.Name;
    EXPECT_FALSE(result.Damaged) << c.Name;
  }
  const std::string compressed = Gzip(zeros);  // the source only views its bytes
  TMemorySource source(compressed);
  TDecodingSource decoder(TContentCoding::Gzip, source);
  std::uint8_t piece[65536];
  std::int64_t total = 0;
  while (const std::int32_t got = decoder.Read(piece, sizeof piece)) total += got;
  EXPECT_EQ(static_cast<std::int64_t>(zeros.size()), total) << "over the bound the rest still arrives, decoded";
  EXPECT_EQ(total, decoder.DecodedBytes());
}

TEST(ContentDecoderTest, AHighRatioBelowTheFloorIsNoBomb) {
  const std::string zeros(TDecodingSource::kBombFloor - 1024, '\0');
  const TDecodeResult result = DecodeAll(TContentCoding::Gzip, Gzip(zeros), 65536, 0);
  EXPECT_FALSE(result.OverBound);
  EXPECT_FALSE(result.Damaged);
}

}  // namespace
}  // namespace tarnwick
