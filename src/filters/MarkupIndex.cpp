#include "filters/MarkupIndex.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tarnwick {

namespace {

constexpr char kCaseBit = 0x20;

std::uint64_t BitsFrom(std::size_t offset) { return ~std::uint64_t{0} << (offset % 64); }
std::uint64_t BitsUpTo(std::size_t last) { return ~std::uint64_t{0} >> (63 - last % 64); }

}  // namespace

#if defined(__SSE2__)
// Marks whole 64-byte blocks, sixteen bytes at a time, as long as the byte after a block can be
// read too; returns where it stopped. The trigger count is a template argument so that the
// comparisons unroll.
template <std::size_t kCount>
std::size_t TMarkupIndex::MarkBlocks(const char* data, std::size_t n) {
  const __m128i less = _mm_set1_epi8('<');
  const __m128i greater = _mm_set1_epi8('>');
  const __m128i bang = _mm_set1_epi8('!');
  const __m128i caseBit = _mm_set1_epi8(kCaseBit);
  __m128i firsts[kCount + 1];
  __m128i seconds[kCount + 1];
  __m128i anySecond[kCount + 1];  // all ones where any byte may follow
  for (std::size_t k = 0; k < kCount; ++k) {
    firsts[k] = _mm_set1_epi8(Triggers[k].First);
    seconds[k] = _mm_set1_epi8(Triggers[k].Second);
    anySecond[k] = _mm_set1_epi8(Triggers[k].Second == '\0' ? -1 : 0);
  }
  std::size_t start = 0;
  for (; start + 64 < n; start += 64) {
    std::uint64_t lessBits = 0;
    std::uint64_t greaterBits = 0;
    std::uint64_t bangBits = 0;
    std::uint64_t triggerBits = 0;
#pragma GCC unroll 4
    for (int quarter = 0; quarter < 4; ++quarter) {
      const char* at = data + start + 16 * quarter;
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
      const __m128i isLess = _mm_cmpeq_epi8(here, less);
      const __m128i folded = _mm_or_si128(here, caseBit);
      const __m128i nextFolded = _mm_or_si128(next, caseBit);
      __m128i trigger = _mm_setzero_si128();
#pragma GCC unroll 4
      for (std::size_t k = 0; k < kCount; ++k) {
        const __m128i first = _mm_cmpeq_epi8(folded, firsts[k]);
        const __m128i second = _mm_or_si128(_mm_cmpeq_epi8(nextFolded, seconds[k]), anySecond[k]);
        trigger = _mm_or_si128(trigger, _mm_and_si128(first, second));
      }
      const int shift = 16 * quarter;
      const auto bits = [](__m128i lanes) {
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(lanes)));
      };
      lessBits |= bits(isLess) << shift;
      greaterBits |= bits(_mm_cmpeq_epi8(here, greater)) << shift;
      bangBits |= bits(_mm_and_si128(isLess, _mm_cmpeq_epi8(next, bang))) << shift;
      triggerBits |= bits(trigger) << shift;
    }
    const std::size_t word = start / 64;
    Bits[kLess][word] = lessBits;
    Bits[kGreater][word] = greaterBits;
    Bits[kBang][word] = bangBits;
    Bits[kTrigger][word] = triggerBits;
  }
  return start;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// MarkBlocks thirty-two bytes at a time, for processors with AVX2 (chosen when the index is
// built): the same marks from the same comparisons. Only functions compiled for AVX2 are called.
template <std::size_t kCount>
__attribute__((target("avx2"))) std::size_t TMarkupIndex::MarkBlocksAvx2(const char* data, std::size_t n) {
  const __m256i less = _mm256_set1_epi8('<');
  const __m256i greater = _mm256_set1_epi8('>');
  const __m256i bang = _mm256_set1_epi8('!');
  const __m256i caseBit = _mm256_set1_epi8(kCaseBit);
  __m256i firsts[kCount + 1];
  __m256i seconds[kCount + 1];
  __m256i anySecond[kCount + 1];
  for (std::size_t k = 0; k < kCount; ++k) {
    firsts[k] = _mm256_set1_epi8(Triggers[k].First);
    seconds[k] = _mm256_set1_epi8(Triggers[k].Second);
    anySecond[k] = _mm256_set1_epi8(Triggers[k].Second == '\0' ? -1 : 0);
  }
  std::size_t start = 0;
  for (; start + 64 < n; start += 64) {
    std::uint64_t lessBits = 0;
    std::uint64_t greaterBits = 0;
    std::uint64_t bangBits = 0;
    std::uint64_t triggerBits = 0;
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half) {
      const char* at = data + start + 32 * half;
      const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
      const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
      const __m256i isLess = _mm256_cmpeq_epi8(here, less);
      const __m256i folded = _mm256_or_si256(here, caseBit);
      const __m256i nextFolded = _mm256_or_si256(next, caseBit);
      __m256i trigger = _mm256_setzero_si256();
#pragma GCC unroll 4
      for (std::size_t k = 0; k < kCount; ++k) {
        const __m256i first = _mm256_cmpeq_epi8(folded, firsts[k]);
        const __m256i second = _mm256_or_si256(_mm256_cmpeq_epi8(nextFolded, seconds[k]), anySecond[k]);
        trigger = _mm256_or_si256(trigger, _mm256_and_si256(first, second));
      }
      const int shift = 32 * half;
      lessBits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(isLess))) << shift;
      greaterBits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                         _mm256_movemask_epi8(_mm256_cmpeq_epi8(here, greater))))
                     << shift;
      bangBits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(
                      _mm256_movemask_epi8(_mm256_and_si256(isLess, _mm256_cmpeq_epi8(next, bang)))))
                  << shift;
      triggerBits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(trigger))) << shift;
    }
    const std::size_t word = start / 64;
    Bits[kLess][word] = lessBits;
    Bits[kGreater][word] = greaterBits;
    Bits[kBang][word] = bangBits;
    Bits[kTrigger][word] = triggerBits;
  }
  return start;
}

template <std::size_t kCount>
std::size_t TMarkupIndex::MarkBlocksWith(TLanes lanes, const char* data, std::size_t n) {
  const bool wide = lanes == TLanes::Widest && __builtin_cpu_supports("avx2");
  return wide ? MarkBlocksAvx2<kCount>(data, n) : MarkBlocks<kCount>(data, n);
}
#else
template <std::size_t kCount>
std::size_t TMarkupIndex::MarkBlocksWith(TLanes, const char* data, std::size_t n) {
  return MarkBlocks<kCount>(data, n);
}
#endif
#endif

void TMarkupIndex::Build(std::span<const char> bytes, std::span<const TTagTrigger> triggers, TLanes lanes) {
  const std::size_t n = std::min(bytes.size(), kMaxBytes);
  TriggerCount = std::min(triggers.size(), kMaxTriggers);
  for (std::size_t k = 0; k < TriggerCount; ++k) {
    Triggers[k] = {static_cast<char>(triggers[k].First | kCaseBit),
                   triggers[k].Second == '\0' ? '\0' : static_cast<char>(triggers[k].Second | kCaseBit)};
  }
  const char* data = bytes.data();
  std::size_t start = 0;
#if defined(__SSE2__)
  static_assert(kMaxTriggers == 4);
  switch (TriggerCount) {
    case 0:
      start = MarkBlocksWith<0>(lanes, data, n);
      break;
    case 1:
      start = MarkBlocksWith<1>(lanes, data, n);
      break;
    case 2:
      start = MarkBlocksWith<2>(lanes, data, n);
      break;
    case 3:
      start = MarkBlocksWith<3>(lanes, data, n);
      break;
    default:
      start = MarkBlocksWith<4>(lanes, data, n);
      break;
  }
#endif
  for (; start < n; start += 64) {
    const std::size_t count = std::min<std::size_t>(64, n - start);
    MarkBlockScalar(data + start, count, n - start - count, start / 64);
  }
}

void TMarkupIndex::MarkBlockScalar(const char* block, std::size_t count, std::size_t followers, std::size_t word) {
  std::uint64_t marks[kMarkCount] = {};
  const std::size_t readable = count + std::min<std::size_t>(followers, 1);
  for (std::size_t i = 0; i < count; ++i) {
    const char here = block[i];
    const bool hasNext = i + 1 < readable;
    const char next = hasNext ? block[i + 1] : '\0';
    const std::uint64_t bit = std::uint64_t{1} << i;
    if (here == '<') marks[kLess] |= bit;
    if (here == '>') marks[kGreater] |= bit;
    if (here == '<' && next == '!') marks[kBang] |= bit;
    const char folded = static_cast<char>(here | kCaseBit);
    for (std::size_t k = 0; k < TriggerCount; ++k) {
      const TTagTrigger& trigger = Triggers[k];
      if (folded != trigger.First) continue;
      if (trigger.Second == '\0' || (hasNext && static_cast<char>(next | kCaseBit) == trigger.Second)) {
        marks[kTrigger] |= bit;
      }
    }
  }
  for (int mark = 0; mark < kMarkCount; ++mark) Bits[mark][word] = marks[mark];
}

std::size_t TMarkupIndex::Next(TMark mark, std::size_t from, std::size_t to) const {
  return NextOfEither(mark, mark, from, to);
}

std::size_t TMarkupIndex::NextOfEither(TMark a, TMark b, std::size_t from, std::size_t to) const {
  if (from >= to) return to;
  std::size_t word = from / 64;
  const std::size_t lastWord = (to - 1) / 64;
  std::uint64_t bits = (Bits[a][word] | Bits[b][word]) & BitsFrom(from);
  while (bits == 0) {
    if (word == lastWord) return to;
    ++word;
    bits = Bits[a][word] | Bits[b][word];
  }
  return std::min(word * 64 + static_cast<std::size_t>(__builtin_ctzll(bits)), to);
}

std::size_t TMarkupIndex::Last(TMark mark, std::size_t from, std::size_t to) const {
  if (from >= to) return kNone;
  std::size_t word = (to - 1) / 64;
  const std::size_t firstWord = from / 64;
  std::uint64_t bits = Bits[mark][word] & BitsUpTo(to - 1);
  while (bits == 0) {
    if (word == firstWord) return kNone;
    --word;
    bits = Bits[mark][word];
  }
  const std::size_t at = word * 64 + 63 - static_cast<std::size_t>(__builtin_clzll(bits));
  return at >= from ? at : kNone;
}

}  // namespace tarnwick
