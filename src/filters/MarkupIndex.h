#pragma once
// TMarkupIndex: where the bytes that shape a page stand in one stretch of it, a bit per byte, so
// that the HTML scanner can step from one interesting place to the next instead of looking at
// every tag. Built in one pass, sixteen bytes at a time where the processor allows.
//
// Marks: "<", ">", "<" followed by "!" (a comment or declaration may start there), and trigger
// pairs, the byte pairs a tag handler names as the signs of a tag it may change. Trigger bytes are
// compared with bit 0x20 set on both sides, so ASCII letters match in either case (and a few other
// bytes match too, which costs only a closer look). A pair needs both of its bytes inside the
// stretch.
//
// Plain data of one thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick {

struct TTagTrigger {
  char First;
  char Second;  // '\0': any byte, or none, may follow
};

class TMarkupIndex {
 public:
  static constexpr std::size_t kMaxBytes = 65536;
  static constexpr std::size_t kMaxTriggers = 4;

  // Which vector instructions build the index: the widest this processor has, or SSE2 alone (the
  // marks are the same; tests compare the ways).
  enum class TLanes { Widest, Sse2 };

  // Indexes `bytes` (at most kMaxBytes) for the given triggers (at most kMaxTriggers are used).
  void Build(std::span<const char> bytes, std::span<const TTagTrigger> triggers, TLanes lanes = TLanes::Widest);

  enum TMark { kLess, kGreater, kBang, kTrigger, kMarkCount };

  // The first marked position in [from, to), or `to`.
  std::size_t Next(TMark mark, std::size_t from, std::size_t to) const;
  // The first position in [from, to) with either mark, or `to`.
  std::size_t NextOfEither(TMark a, TMark b, std::size_t from, std::size_t to) const;
  // The last marked position in [from, to), or kNone.
  std::size_t Last(TMark mark, std::size_t from, std::size_t to) const;
  bool Any(TMark mark, std::size_t from, std::size_t to) const { return Next(mark, from, to) < to; }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

 private:
  static constexpr std::size_t kWords = kMaxBytes / 64;
  using TBits = std::array<std::uint64_t, kWords>;

  template <std::size_t kCount>
  std::size_t MarkBlocks(const char* data, std::size_t n);
  template <std::size_t kCount>
  std::size_t MarkBlocksAvx2(const char* data, std::size_t n);
  template <std::size_t kCount>
  std::size_t MarkBlocksWith(TLanes lanes, const char* data, std::size_t n);
  void MarkBlockScalar(const char* block, std::size_t count, std::size_t followers, std::size_t word);

  std::array<TBits, kMarkCount> Bits;
  std::array<TTagTrigger, kMaxTriggers> Triggers{};
  std::size_t TriggerCount = 0;
};

}  // namespace tarnwick
