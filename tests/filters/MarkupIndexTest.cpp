#include "filters/MarkupIndex.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

using enum TMarkupIndex::TMark;

// The marks as the index defines them, one byte at a time.
std::vector<bool> Expected(const std::string& bytes, TMarkupIndex::TMark mark,
                           const std::vector<TTagTrigger>& triggers) {
  const auto fold = [](char c) { return static_cast<char>(c | 0x20); };
  std::vector<bool> marks(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const bool hasNext = i + 1 < bytes.size();
    const char next = hasNext ? bytes[i + 1] : '\0';
    switch (mark) {
      case kLess:
        marks[i] = bytes[i] == '<';
        break;
      case kGreater:
        marks[i] = bytes[i] == '>';
        break;
      case kBang:
        marks[i] = bytes[i] == '<' && next == '!';
        break;
      default:
        for (const TTagTrigger& t : triggers) {
          const bool second = t.Second == '\0' || (hasNext && fold(next) == fold(t.Second));
          marks[i] = marks[i] || (fold(bytes[i]) == fold(t.First) && second);
        }
    }
  }
  return marks;
}

class MarkupIndexTest : public ::testing::Test {
 protected:
  std::string RandomBytes(size_t n) {
    static const std::string alphabet = "<>!hHrRsS.oOx \"=-\x0e";
    std::string bytes(n, ' ');
    for (char& c : bytes) c = alphabet[Random() % alphabet.size()];
    return bytes;
  }
  std::mt19937 Random{20261208};
  std::unique_ptr<TMarkupIndex> Index = std::make_unique<TMarkupIndex>();
};

TEST_F(MarkupIndexTest, EveryMarkAndQueryAgreesWithAByteByByteLook) {
  const std::vector<TTagTrigger> triggers = {{'h', 'r'}, {'s', 'r'}, {'.', 'o'}, {'x', '\0'}};
  std::vector<std::pair<size_t, TMarkupIndex::TLanes>> runs;
  for (const size_t n : {0u, 1u, 15u, 63u, 64u, 65u, 128u, 129u, 1000u, 65536u}) {
    runs.emplace_back(n, TMarkupIndex::TLanes::Widest);
    runs.emplace_back(n, TMarkupIndex::TLanes::Sse2);
  }
  for (const auto& [n, lanes] : runs) {
    const std::string bytes = RandomBytes(n);
    Index->Build(bytes, triggers, lanes);
    for (const auto mark : {kLess, kGreater, kBang, kTrigger}) {
      const std::vector<bool> marks = Expected(bytes, mark, triggers);
      for (int probe = 0; probe < 200; ++probe) {
        size_t from = n == 0 ? 0 : Random() % (n + 1);
        size_t to = n == 0 ? 0 : Random() % (n + 1);
        if (from > to) std::swap(from, to);
        size_t next = to;
        size_t last = TMarkupIndex::kNone;
        for (size_t i = from; i < to; ++i) {
          if (!marks[i]) continue;
          if (next == to) next = i;
          last = i;
        }
        ASSERT_EQ(next, Index->Next(mark, from, to))
            << "mark " << mark << " in [" << from << ", " << to << ") of " << n;
        ASSERT_EQ(last, Index->Last(mark, from, to))
            << "mark " << mark << " in [" << from << ", " << to << ") of " << n;
      }
    }
  }
}

TEST_F(MarkupIndexTest, APairNeedsBothBytesInsideTheStretch) {
  const std::string bytes = std::string(70, 'a') + "h";
  const std::vector<TTagTrigger> triggers = {{'h', 'r'}};
  Index->Build(bytes, triggers);
  EXPECT_FALSE(Index->Any(kTrigger, 0, bytes.size()));
  Index->Build("<a HREF=x>", triggers);
  EXPECT_EQ(3u, Index->Next(kTrigger, 0, 10)) << "either case";
}

TEST_F(MarkupIndexTest, NextOfEitherTakesTheEarlierMark) {
  Index->Build("ab<!x>", {});
  EXPECT_EQ(2u, Index->NextOfEither(kBang, kGreater, 0, 6));
  EXPECT_EQ(5u, Index->NextOfEither(kBang, kGreater, 3, 6));
  EXPECT_EQ(6u, Index->NextOfEither(kBang, kGreater, 6, 6));
}

}  // namespace
}  // namespace tarnwick
