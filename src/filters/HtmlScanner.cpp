#include "filters/HtmlScanner.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

namespace {

constexpr std::string_view kCommentOpener = "<!--";

// The first byte in [from, to) that is `a` or `b`, or `to`. Sixteen bytes at a time where the
// processor has SSE2: pages are mostly short runs between "<" and ">".
inline const char* FindEither(const char* from, const char* to, char a, char b) {
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi8(a);
  const __m128i wantB = _mm_set1_epi8(b);
  while (to - from >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, wantA), _mm_cmpeq_epi8(chunk, wantB)));
    if (hits != 0) return from + __builtin_ctz(static_cast<unsigned>(hits));
    from += 16;
  }
#endif
  while (from < to && *from != a && *from != b) ++from;
  return from;
}

// One stretch of a piece, at most TMarkupIndex::kMaxBytes long: a cursor over it, the state it
// carries on, and where bytes go.
class TScan {
 public:
  TScan(THtmlScanState& state, std::span<const char> piece, TTagHandler& tags, TByteSink& out,
        const TTagTriggers& triggers, TMarkupIndex* index)
      : State(state),
        Begin(piece.data()),
        At(piece.data()),
        End(piece.data() + piece.size()),
        Tags(tags),
        Out(out),
        Triggers(triggers),
        Index(index) {}

  bool Run() {
    while (At < End && Ok) {
      switch (State.Mode) {
        case THtmlScanMode::Text:
          if (State.OutputOn && Triggers.Known) {
            ScanFromSignToSign();
          } else {
            ScanText();
          }
          break;
        case THtmlScanMode::Tag:
          ScanTag();
          break;
        case THtmlScanMode::Comment:
          ScanComment();
          break;
      }
    }
    return Ok;
  }

 private:
  void Emit(const char* bytes, size_t n) {
    if (n > 0 && Ok) Ok = Out.Write(bytes, n);
  }
  void Emit(std::string_view text) { Emit(text.data(), text.size()); }
  void EmitRange(size_t from, size_t to) { Emit(Begin + from, to - from); }
  size_t Left() const { return static_cast<size_t>(End - At); }
  size_t Offset(const char* p) const { return static_cast<size_t>(p - Begin); }

  // The common case, text that is copied out while the handler has named its signs. Everything up
  // to the next sign goes out as one stretch; a sign inside a complete tag hands that tag over,
  // and only a tag the handler changes breaks the stretch. A tag is what the byte-exact way
  // would take: from the last "<" before its ">", the text before that "<" passing unchanged. A
  // comment and a tag the piece ends in go the byte-exact way, from the end of the last tag
  // before them. A tag inside one indexed stretch never reaches the length bound.
  void ScanFromSignToSign() {
    static_assert(TMarkupIndex::kMaxBytes <= kMaxTagLength);
    using enum TMarkupIndex::TMark;
    constexpr size_t kNone = TMarkupIndex::kNone;
    if (!Indexed) {
      Index->Build({Begin, static_cast<size_t>(End - Begin)}, Triggers.Pairs);
      Indexed = true;
    }
    const size_t size = Offset(End);
    size_t at = Offset(At);
    size_t pending = at;  // from here up to `at` the page goes out as it is
    for (;;) {
      const size_t sign = Index->NextOfEither(kTrigger, kBang, at, size);
      if (sign == size) break;
      const size_t greaterBefore = Index->Last(kGreater, at, sign);
      const size_t segment = greaterBefore == kNone ? at : greaterBefore + 1;
      const size_t close = Index->Next(kGreater, sign, size);
      if (close == size) break;
      if (Index->Any(kBang, segment, close)) {
        EmitRange(pending, segment);
        At = Begin + segment;
        if (Ok) ScanText();
        return;
      }
      const size_t open = Index->Last(kLess, segment, close);
      at = close + 1;
      if (open == kNone || !Index->Any(kTrigger, open, close)) continue;  // the sign stood in text
      const std::string_view original(Begin + open, at - open);
      State.TagText.assign(original);
      Tags.OnTag(State.TagText, State);
      if (State.TagText != original) {
        EmitRange(pending, open);
        Emit(State.TagText);
        pending = at;
      }
      State.TagText.clear();
      if (!Ok || !State.OutputOn) {
        EmitRange(pending, at);
        At = Begin + at;
        return;
      }
    }
    // No sign from `at` on: kept text and tags, up to a tag the piece may end in.
    const size_t lastGreater = Index->Last(kGreater, at, size);
    const size_t tail = lastGreater == kNone ? at : lastGreater + 1;
    const size_t stop = Index->Any(kLess, tail, size) ? tail : size;
    EmitRange(pending, stop);
    At = Begin + stop;
    if (At < End && Ok) ScanText();
  }

  void ScanText() {
    const char* lt = FindEither(At, End, '<', '<');
    if (State.OutputOn) Emit(At, static_cast<size_t>(lt - At));
    At = lt;
    if (lt == End) return;
    ++At;
    State.TagText.assign(1, '<');
    State.StrayInTag = false;
    State.Mode = THtmlScanMode::Tag;
  }

  void ScanTag() {
    std::string& tag = State.TagText;
    // Until four bytes are held the tag may still turn out to open a comment.
    while (At < End && tag.size() < kCommentOpener.size() && *At != '>') {
      if (*At == '<') State.StrayInTag = true;
      tag.push_back(*At++);
      if (tag == kCommentOpener) {
        State.Mode = THtmlScanMode::Comment;
        State.CommentStart = true;
        State.Dashes = 0;
        return;
      }
    }
    if (At == End) return;
    if (*At == '>') {
      ++At;
      CompleteTag();
      return;
    }
    if (tag.size() >= kMaxTagLength) {
      OverlongTag();
      return;
    }
    // Tags are short: one pass finds the end and notes a later "<" on the way.
    const char* limit = At + std::min(kMaxTagLength - tag.size(), Left());
    const char* end = FindEither(At, limit, '>', '<');
    while (end < limit && *end == '<') {
      State.StrayInTag = true;
      end = FindEither(end + 1, limit, '>', '<');
    }
    tag.append(At, end);
    At = end;
    if (At < End && *At == '>') {
      ++At;
      CompleteTag();
    }
  }

  // A "<" in the text before a tag is no tag of its own: only the part from the last "<" is the
  // tag, and what stands before it is passed on as it is.
  void PassStrayText() {
    if (!State.StrayInTag) return;
    std::string& tag = State.TagText;
    const auto* last = static_cast<const char*>(::memrchr(tag.data(), '<', tag.size()));
    if (last == nullptr || last == tag.data()) return;
    const auto length = static_cast<size_t>(last - tag.data());
    Emit(tag.data(), length);
    tag.erase(0, length);
  }

  void CompleteTag() {
    State.TagText.push_back('>');
    PassStrayText();
    DecideTag();
    State.Mode = THtmlScanMode::Text;
  }

  // The handler decides about the complete tag in TagText, which then goes out.
  void DecideTag() {
    Tags.OnTag(State.TagText, State);
    Emit(State.TagText);
    State.TagText.clear();
  }

  // The tag has reached the length bound with no end in sight. Text before a later "<" goes out
  // first, as it would when the tag ended; a single tag that long is text.
  void OverlongTag() {
    PassStrayText();
    if (State.TagText.size() < kMaxTagLength) return;
    OverlongAsText();
  }

  void OverlongAsText() {
    if (State.OutputOn) Emit(State.TagText);
    State.TagText.clear();
    State.Mode = THtmlScanMode::Text;
  }

  void ScanComment() {
    std::string& text = State.TagText;
    if (State.CommentStart) {
      // The byte right after "<!--" neither counts as a dash nor ends the comment.
      text.push_back(*At++);
      State.CommentStart = false;
    }
    while (At < End) {
      if (*At == '>' && State.Dashes >= 2) {
        ++At;
        text.push_back('>');
        Emit(text);  // comments pass unchanged, also inside an element being dropped
        text.clear();
        State.Mode = THtmlScanMode::Text;
        return;
      }
      if (text.size() >= kMaxTagLength) {
        OverlongAsText();
        return;
      }
      if (*At == '>') {  // a ">" leaves the dash count as it is
        text.push_back(*At++);
        continue;
      }
      const char* limit = At + std::min(kMaxTagLength - text.size(), Left());
      const auto* gt = static_cast<const char*>(std::memchr(At, '>', static_cast<size_t>(limit - At)));
      const char* stop = gt != nullptr ? gt : limit;
      const char* dashes = stop;
      while (dashes > At && dashes[-1] == '-') --dashes;
      State.Dashes =
          dashes == At ? State.Dashes + static_cast<std::int32_t>(stop - At) : static_cast<std::int32_t>(stop - dashes);
      text.append(At, stop);
      At = stop;
    }
  }

  THtmlScanState& State;
  const char* const Begin;
  const char* At;
  const char* const End;
  TTagHandler& Tags;
  TByteSink& Out;
  const TTagTriggers& Triggers;
  TMarkupIndex* const Index;  // set when Triggers.Known
  bool Indexed = false;
  bool Ok = true;
};

}  // namespace

bool ScanHtml(THtmlScanState& state, std::span<const char> piece, TTagHandler& tags, TByteSink& out) {
  TTagTriggers triggers = tags.Triggers();
  if (triggers.Pairs.size() > TMarkupIndex::kMaxTriggers) triggers.Known = false;
  // Indexed a stretch at a time, so that the index has a fixed size; the scan does not depend on
  // where a page is cut.
  std::unique_ptr<TMarkupIndex> index;
  if (triggers.Known) index = std::make_unique_for_overwrite<TMarkupIndex>();
  for (size_t at = 0; at < piece.size(); at += TMarkupIndex::kMaxBytes) {
    const auto stretch = piece.subspan(at, std::min(TMarkupIndex::kMaxBytes, piece.size() - at));
    if (!TScan(state, stretch, tags, out, triggers, index.get()).Run()) return false;
  }
  return true;
}

void FinishHtml(THtmlScanState& state) { state = THtmlScanState(); }

}  // namespace tarnwick
