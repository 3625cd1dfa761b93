#pragma once
// TSubstringSet: a fixed set of byte strings prepared so that "does any of them occur in this
// text?" costs one pass over the text, however many strings the set holds (an Aho-Corasick
// automaton with sparse transitions). Immutable after construction; any thread may search it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

class TSubstringSet {
 public:
  enum class TCase { Sensitive, IgnoreAscii };

  // Empty strings are left out (an empty pattern is never found). With IgnoreAscii the patterns
  // and every searched text are compared with A-Z folded to a-z, other bytes unchanged.
  TSubstringSet(std::vector<std::string> patterns, TCase caseRule);
  TSubstringSet(const TSubstringSet&) = delete;
  TSubstringSet& operator=(const TSubstringSet&) = delete;

  bool FoundIn(std::string_view text) const;
  bool Empty() const { return NodeCount == 1; }

 private:
  static constexpr std::int32_t kRoot = 0;

  void Build(std::vector<std::string>& patterns);
  void MarkStartPairs(const std::vector<bool>& patternEnds);
  void CollectLeads();
  // Whether a pattern may start at `at` (before `end`), by its first two bytes or the last byte.
  bool PossibleStart(const char* at, const char* end) const;
  // The first such place from `at` on, or `end`.
  const char* NextPossibleStart(const char* at, const char* end) const;
  void LinkFailures();
  std::uint8_t Fold(char c) const { return Folding[static_cast<std::uint8_t>(c)]; }

  // One node's transitions, failure link and mark side by side, so that a step of the search
  // touches one node record and one run of edges.
  struct TNode {
    std::int32_t FirstEdge = 0;
    std::int32_t EdgeCount = 0;
    std::int32_t Failure = kRoot;
    bool Accepting = false;  // a pattern ends here or on the failure chain
  };
  struct TEdge {
    std::uint8_t Byte;
    std::int32_t Target;
  };

  // The child of `node` by `byte`, or -1.
  std::int32_t Child(std::int32_t node, std::uint8_t byte) const {
    return node == kRoot ? RootNext[byte] : InnerChild(Nodes[node], byte);
  }
  std::int32_t InnerChild(const TNode& node, std::uint8_t byte) const;

  std::uint8_t Folding[256];
  std::int32_t NodeCount = 1;
  std::vector<TNode> Nodes;
  std::vector<TEdge> Edges;    // each node's children sorted by byte
  std::int32_t RootNext[256];  // the root's transitions, dense: the busiest state
  bool InSomePattern[256];     // a byte in no pattern sends the search straight back to the root
  bool StartsPattern[256];     // by the byte as it stands in the text: the root has a child for it
  // By two bytes as they stand in the text, a bit each: whether a pattern may start with them.
  static constexpr std::size_t kPairCount = 256 * 256;
  std::vector<std::uint64_t> StartPairs;
  // The bytes StartsPattern holds, when there are at most kMaxLeads of them (LeadCount 0: more),
  // the first repeated into the unused places.
  static constexpr std::size_t kMaxLeads = 4;
  char Leads[kMaxLeads] = {};
  std::size_t LeadCount = 0;
  bool StartsPair(const char* at) const {
    const std::size_t pair =
        static_cast<std::size_t>(static_cast<std::uint8_t>(at[0])) << 8 | static_cast<std::uint8_t>(at[1]);
    return (StartPairs[pair / 64] >> (pair % 64) & 1) != 0;
  }
};

}  // namespace tarnwick
