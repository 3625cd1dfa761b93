// The content decoders on arbitrary bodies: the first byte picks the coding, the second the piece
// size. No input may crash, hang or leak, and whether the stream counts as damaged must not depend
// on how the body was split into pieces. An intact stream decodes to the same bytes either way. A
// damaged one may end in different bytes: a decoder may hold back output it had not yet written
// when it found the damage, and the deflate decoder may already have copied a match that reaches
// before the stream's start (from its own zeroed state, never from outside it) before it sees that
// the distance was invalid, which depends on where the output pieces ended.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/ContentDecoder.h"

namespace {

using tarnwick::TContentCoding;

// Enough to see the decoders at work without letting a bomb take the fuzzer's time.
constexpr std::size_t kMaxDecoded = 4 * 1024 * 1024;

struct TOutcome {
  std::string Bytes;
  bool Damaged = false;
};

TOutcome Decode(TContentCoding coding, std::string_view body, std::int32_t piece) {
  tarnwick::TMemorySource source(body, piece);
  tarnwick::TDecodingSource decoder(coding, source);
  TOutcome outcome;
  std::uint8_t out[4096];
  while (outcome.Bytes.size() < kMaxDecoded) {
    const std::int32_t got = decoder.Read(out, piece < 4096 ? piece : 4096);
    if (got == 0) break;
    outcome.Bytes.append(reinterpret_cast<const char*>(out), static_cast<std::size_t>(got));
  }
  if (outcome.Bytes.size() >= kMaxDecoded) outcome.Bytes.resize(kMaxDecoded);
  outcome.Damaged = decoder.Damaged();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static constexpr TContentCoding kCodings[] = {TContentCoding::Gzip, TContentCoding::Deflate, TContentCoding::Brotli};
  const TContentCoding coding = kCodings[data[0] % 3];
  const std::int32_t piece = 1 + data[1] % 64;
  const std::string_view body(reinterpret_cast<const char*>(data + 2), size - 2);
  const TOutcome small = Decode(coding, body, piece);
  const TOutcome whole = Decode(coding, body, 65536);
  if (small.Bytes.size() < kMaxDecoded && whole.Bytes.size() < kMaxDecoded) {
    if (small.Damaged != whole.Damaged) __builtin_trap();
    if (!small.Damaged && small.Bytes != whole.Bytes) __builtin_trap();
  }
  return 0;
}
