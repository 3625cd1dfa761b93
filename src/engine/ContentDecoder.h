#pragma once
// Decoding of compressed response bodies (Content-Encoding gzip, x-gzip, deflate, br) as they
// stream, so that the content filters read the page the browser would see. ISA-L and the Brotli
// library do the decoding; this class only feeds them and keeps count.
//
// Two guards protect the filters behind it:
// - A body that decodes to more than kBombRatio times its compressed size and more than
//   kBombFloor bytes is over the bound: the bytes keep coming (decoded, in pieces of the caller's
//   size, so memory stays flat), but the caller should stop filtering.
// - A damaged stream (bad data, a truncated body) ends the source: what was decoded before stays
//   good, Damaged() tells the caller.
//
// One thread at a time; the compressed source must outlive the decoder.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteSource.h"

namespace tarnwick {

enum class TContentCoding { Identity, Gzip, Deflate, Brotli, Unsupported };

// The coding a Content-Encoding value names. Empty and "identity" are Identity; "gzip" and "x-gzip",
// "deflate" and "br" (any case, blanks around allowed) are what this decoder reads; anything else,
// stacked codings ("gzip, br") included, is Unsupported.
TContentCoding ContentCodingOf(std::string_view contentEncoding);

// An Accept-Encoding value cut down to the codings this decoder reads (gzip, x-gzip, deflate, br)
// and identity, each with its parameters; "identity" when none of them is left. So a server that
// honours the header sends nothing the content filters cannot read.
std::string DecodableCodings(std::string_view acceptEncoding);

class TDecodingSource : public TByteSource {
 public:
  static constexpr std::int64_t kBombRatio = 64;
  static constexpr std::int64_t kBombFloor = 16 * 1024 * 1024;

  // `coding` must be Gzip, Deflate or Brotli.
  TDecodingSource(TContentCoding coding, TByteSource& compressed);
  ~TDecodingSource() override;
  TDecodingSource(const TDecodingSource&) = delete;
  TDecodingSource& operator=(const TDecodingSource&) = delete;

  // Up to n decoded bytes; 0 at the end of the body or once it proved damaged.
  std::int32_t Read(std::uint8_t* into, std::int32_t n) override;

  bool Damaged() const { return IsDamaged; }
  bool OverBound() const { return IsOverBound; }
  std::int64_t CompressedBytes() const { return Compressed; }
  std::int64_t DecodedBytes() const { return Decoded; }

  // One step of a decoding library: consumes input, produces output, says how it went.
  class TEngine;

 private:
  // Refills the input from the compressed source; false at its end.
  bool Refill();
  void Count(std::int32_t produced);

  TByteSource& Source;
  std::unique_ptr<TEngine> Engine;
  std::vector<std::uint8_t> Input;
  std::size_t InputAt = 0;
  std::size_t InputEnd = 0;
  bool SourceEnded = false;
  bool Finished = false;
  bool IsDamaged = false;
  bool IsOverBound = false;
  std::int64_t Compressed = 0;
  std::int64_t Decoded = 0;
};

struct TDecodeResult {
  std::string Bytes;
  bool Damaged = false;
  bool OverBound = false;
};

// Decodes a whole body held in memory, read in pieces of `piece` bytes; stops collecting after
// `limit` decoded bytes. For tests and fuzzing.
TDecodeResult DecodeAll(TContentCoding coding, std::string_view body, std::int32_t piece = 65536,
                        std::int64_t limit = 64 * 1024 * 1024);

}  // namespace tarnwick
