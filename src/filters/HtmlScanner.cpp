#include "filters/HtmlScanner.h"

#include <algorithm>
#include <cstring>
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

// One call of ScanHtml: a cursor over its piece, the state it carries on, and where bytes go.
class TScan {
 public:
  TScan(THtmlScanState& state, std::span<const char> piece, TTagHandler& tags, TByteSink& out)
      : State(state), At(piece.data()), End(piece.data() + piece.size()), Tags(tags), Out(out) {}

  bool Run() {
    while (At < End && Ok) {
      switch (State.Mode) {
        case THtmlScanMode::Text:
          if (State.OutputOn) {
            ScanKeptText();
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
  size_t Left() const { return static_cast<size_t>(End - At); }

  // The common case, text that is copied out: text and the tags the handler keeps go out as one
  // stretch, straight from the piece, and a complete tag it may change is decided at once. Anything
  // else (a tag not complete in this piece, a stray "<", a comment, dropped text) goes the
  // byte-exact way of ScanText and ScanTag.
  void ScanKeptText() {
    const char* stretch = At;
    while (Ok && State.OutputOn) {
      const char* lt = FindEither(At, End, '<', '<');
      if (lt == End) {
        At = End;
        break;
      }
      const char* gt = FindEither(lt + 1, End, '>', '<');
      if (gt == End || *gt != '>') {
        At = lt;
        break;
      }
      const std::string_view tag(lt, static_cast<size_t>(gt - lt) + 1);
      if (tag.starts_with(kCommentOpener) || tag.size() - 1 > kMaxTagLength) {
        At = lt;
        break;
      }
      At = gt + 1;
      if (Tags.Keeps(tag, State)) continue;
      Emit(stretch, static_cast<size_t>(lt - stretch));
      State.TagText.assign(tag);
      DecideTag();
      stretch = At;
    }
    Emit(stretch, static_cast<size_t>(At - stretch));
    if (At < End && State.OutputOn) ScanText();
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
      State.Dashes = dashes == At ? State.Dashes + static_cast<std::int32_t>(stop - At)
                                  : static_cast<std::int32_t>(stop - dashes);
      text.append(At, stop);
      At = stop;
    }
  }

  THtmlScanState& State;
  const char* At;
  const char* const End;
  TTagHandler& Tags;
  TByteSink& Out;
  bool Ok = true;
};

}  // namespace

bool ScanHtml(THtmlScanState& state, std::span<const char> piece, TTagHandler& tags, TByteSink& out) {
  return TScan(state, piece, tags, out).Run();
}

void FinishHtml(THtmlScanState& state) { state = THtmlScanState(); }

}  // namespace tarnwick
