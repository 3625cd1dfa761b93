#include "text/SubstringSet.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

namespace {

size_t CommonPrefixLength(std::string_view a, std::string_view b) {
  const size_t limit = std::min(a.size(), b.size());
  size_t n = 0;
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

struct TTrieEdge {
  std::int32_t Parent;
  std::uint8_t Byte;
  std::int32_t Child;
};

}  // namespace

TSubstringSet::TSubstringSet(std::vector<std::string> patterns, TCase caseRule) {
  for (int c = 0; c < 256; ++c) {
    const bool upper = c >= 'A' && c <= 'Z';
    Folding[c] = static_cast<std::uint8_t>(caseRule == TCase::IgnoreAscii && upper ? c + ('a' - 'A') : c);
  }
  for (std::string& pattern : patterns) {
    for (char& c : pattern) c = static_cast<char>(Fold(c));
  }
  Build(patterns);
  LinkFailures();
}

// The trie is built from the sorted patterns in one pass: each pattern shares the path of its
// common prefix with the one before it, so a parent's children arrive in ascending byte order.
void TSubstringSet::Build(std::vector<std::string>& patterns) {
  std::erase_if(patterns, [](const std::string& p) { return p.empty(); });
  std::sort(patterns.begin(), patterns.end());
  // At most one node per pattern byte: reserved at once, so that a list of tens of thousands of
  // entries does not grow these step by step.
  size_t bytes = 0;
  for (const std::string& pattern : patterns) bytes += pattern.size();
  std::vector<TTrieEdge> edges;
  edges.reserve(bytes);
  std::vector<std::int32_t> path{kRoot};  // nodes along the previous kept pattern
  std::vector<bool> accepting{false};
  accepting.reserve(bytes + 1);
  std::string_view previous;
  for (const std::string& pattern : patterns) {
    const size_t shared = CommonPrefixLength(previous, pattern);
    // A pattern that extends a kept one adds nothing: wherever it occurs, its prefix does too.
    if (!previous.empty() && shared == previous.size()) continue;
    path.resize(shared + 1);
    for (size_t depth = shared; depth < pattern.size(); ++depth) {
      const std::int32_t node = NodeCount++;
      edges.push_back({path[depth], static_cast<std::uint8_t>(pattern[depth]), node});
      path.push_back(node);
      accepting.push_back(false);
    }
    accepting[path.back()] = true;
    previous = pattern;
  }

  Nodes.resize(NodeCount);
  for (std::int32_t node = 0; node < NodeCount; ++node) Nodes[node].Accepting = accepting[node];
  for (const TTrieEdge& edge : edges) ++Nodes[edge.Parent].EdgeCount;
  std::int32_t next = 0;
  for (TNode& node : Nodes) {
    node.FirstEdge = next;
    next += node.EdgeCount;
  }
  Edges.resize(edges.size());
  std::vector<std::int32_t> fill(NodeCount);
  for (const TTrieEdge& edge : edges) {  // in creation order: keeps each parent's children sorted
    const TNode& parent = Nodes[edge.Parent];
    Edges[parent.FirstEdge + fill[edge.Parent]++] = {edge.Byte, edge.Child};
  }
  std::fill(std::begin(InSomePattern), std::end(InSomePattern), false);
  for (const TTrieEdge& edge : edges) InSomePattern[edge.Byte] = true;
  std::fill(std::begin(RootNext), std::end(RootNext), -1);
  for (std::int32_t e = 0; e < Nodes[kRoot].EdgeCount; ++e) RootNext[Edges[e].Byte] = Edges[e].Target;
  for (int c = 0; c < 256; ++c) StartsPattern[c] = RootNext[Fold(static_cast<char>(c))] >= 0;
  MarkStartPairs(accepting);
  CollectLeads();
}

void TSubstringSet::CollectLeads() {
  std::size_t count = 0;
  for (int c = 0; c < 256; ++c) {
    if (!StartsPattern[c]) continue;
    if (count == kMaxLeads) return;  // too many: LeadCount stays 0
    Leads[count++] = static_cast<char>(c);
  }
  LeadCount = count;
  for (std::size_t k = count; k > 0 && k < kMaxLeads; ++k) Leads[k] = Leads[0];
}

// A pattern of one byte starts with that byte and whatever follows it; a longer one with its first
// two bytes.
void TSubstringSet::MarkStartPairs(const std::vector<bool>& patternEnds) {
  if (NodeCount == 1) return;  // never searched
  StartPairs.assign(kPairCount / 64, 0);
  for (int first = 0; first < 256; ++first) {
    const std::int32_t node = RootNext[Fold(static_cast<char>(first))];
    if (node < 0) continue;
    for (int second = 0; second < 256; ++second) {
      if (patternEnds[node] || InnerChild(Nodes[node], Fold(static_cast<char>(second))) >= 0) {
        const std::size_t pair = static_cast<std::size_t>(first) << 8 | static_cast<std::size_t>(second);
        StartPairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
      }
    }
  }
}

void TSubstringSet::LinkFailures() {
  std::vector<std::int32_t> queue;
  queue.reserve(NodeCount);
  queue.push_back(kRoot);
  for (size_t head = 0; head < queue.size(); ++head) {
    const std::int32_t node = queue[head];
    const TNode parent = Nodes[node];
    for (std::int32_t e = parent.FirstEdge; e < parent.FirstEdge + parent.EdgeCount; ++e) {
      const TEdge edge = Edges[e];
      queue.push_back(edge.Target);
      if (node == kRoot) continue;  // depth 1 fails to the root
      std::int32_t fallback = parent.Failure;
      std::int32_t target = Child(fallback, edge.Byte);
      while (target < 0 && fallback != kRoot) {
        fallback = Nodes[fallback].Failure;
        target = Child(fallback, edge.Byte);
      }
      TNode& child = Nodes[edge.Target];
      child.Failure = target < 0 ? kRoot : target;
      child.Accepting = child.Accepting || Nodes[child.Failure].Accepting;
    }
  }
}

std::int32_t TSubstringSet::InnerChild(const TNode& node, std::uint8_t byte) const {
  const TEdge* first = Edges.data() + node.FirstEdge;
  const TEdge* last = first + node.EdgeCount;
  // Deep in the trie most nodes have one child or a few.
  if (node.EdgeCount <= 8) {
    for (const TEdge* edge = first; edge != last; ++edge) {
      if (edge->Byte == byte) return edge->Target;
    }
    return -1;
  }
  const TEdge* at =
      std::lower_bound(first, last, byte, [](const TEdge& edge, std::uint8_t b) { return edge.Byte < b; });
  return at != last && at->Byte == byte ? at->Target : -1;
}

bool TSubstringSet::PossibleStart(const char* at, const char* end) const {
  return end - at >= 2 ? StartsPair(at) : StartsPattern[static_cast<std::uint8_t>(*at)];
}

const char* TSubstringSet::NextPossibleStart(const char* at, const char* end) const {
#if defined(__SSE2__)
  // With few first bytes, sixteen bytes at a time are looked at for one of them.
  if (LeadCount > 0) {
    static_assert(kMaxLeads == 4);
    const __m128i lead0 = _mm_set1_epi8(Leads[0]);
    const __m128i lead1 = _mm_set1_epi8(Leads[1]);
    const __m128i lead2 = _mm_set1_epi8(Leads[2]);
    const __m128i lead3 = _mm_set1_epi8(Leads[3]);
    for (; end - at >= 16; at += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lead0), _mm_cmpeq_epi8(v, lead1)),
                                        _mm_or_si128(_mm_cmpeq_epi8(v, lead2), _mm_cmpeq_epi8(v, lead3)));
      for (auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(hits)); bits != 0; bits &= bits - 1) {
        const char* candidate = at + __builtin_ctz(bits);
        if (PossibleStart(candidate, end)) return candidate;
      }
    }
  }
#endif
  for (; at < end; ++at) {
    if (PossibleStart(at, end)) return at;
  }
  return end;
}

bool TSubstringSet::FoundIn(std::string_view text) const {
  if (Empty()) return false;
  const char* at = text.data();
  const char* const end = at + text.size();
  std::int32_t state = kRoot;
  while (at < end) {
    if (state == kRoot) {
      // Most places start no pattern: from the root they are passed over without automaton steps.
      at = NextPossibleStart(at, end);
      if (at == end) return false;
    }
    const std::uint8_t byte = Fold(*at++);
    if (!InSomePattern[byte]) {
      state = kRoot;
      continue;
    }
    std::int32_t next = -1;
    while (next < 0) {
      if (state == kRoot) {
        next = std::max(RootNext[byte], kRoot);
      } else {
        const TNode& node = Nodes[state];
        next = InnerChild(node, byte);
        state = node.Failure;
      }
    }
    state = next;
    if (Nodes[state].Accepting) return true;
  }
  return false;
}

}  // namespace tarnwick
