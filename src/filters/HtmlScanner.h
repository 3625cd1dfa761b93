#pragma once
// The HTML scanner: splits a page into text, tags and comments as its bytes arrive, hands each
// complete tag to a tag handler that may rewrite it, and writes the result to a byte sink. All of
// its state between two pieces lives in a THtmlScanState, so a page gives the same output however
// it is split into pieces. Memory stays bounded: a tag or comment that grows past kMaxTagLength is
// passed on as text and scanning goes on after it.
//
// Most tags of a page are of no interest to the handler. When the handler names the signs of the
// tags it may change (TTagTriggers), the scanner indexes each piece once and steps from sign to
// sign, passing everything between on as one stretch; comments and anything unusual go the
// byte-exact way. Both ways give the same bytes.
//
// One thread at a time per state; the functions themselves keep nothing.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "filters/MarkupIndex.h"

namespace tarnwick {

inline constexpr std::size_t kMaxTagLength = 64 * 1024;

// The scanner's state between two pieces of one body: plain data owned by whoever filters the
// body (the HTML filter, for the length of one page), so that a page split anywhere across reads
// scans the same as in one piece.
enum class THtmlScanMode { Text, Tag, Comment };

struct THtmlScanState {
  THtmlScanMode Mode = THtmlScanMode::Text;
  // The tag or comment being assembled, from its "<" on.
  std::string TagText;
  // TagText may hold another "<" after its first byte (then only the part from the last one is
  // the tag).
  bool StrayInTag = false;
  // Dashes seen since the last byte that was neither "-" nor ">" (comment mode).
  std::int32_t Dashes = 0;
  // The comment's first byte after "<!--" is still to come; it never counts as a dash.
  bool CommentStart = false;
  // Text between tags is copied out; false while a removed element's content is dropped.
  bool OutputOn = true;
  // Upper-case name of the closing tag that ends the element being dropped, or empty.
  std::string AwaitedEndTag;
};

// Where scanned bytes go.
class TByteSink {
 public:
  virtual ~TByteSink() = default;
  // False when the bytes could not be taken; the scan stops then.
  virtual bool Write(const char* bytes, std::size_t n) = 0;
};

// What a tag handler promises about the tags it leaves alone, so that the scanner can pass them on
// without handing each one over.
struct TTagTriggers {
  // False: no promise, every tag is handed over.
  bool Known = false;
  // While OutputOn is on, a tag that holds none of these byte pairs (compared as TMarkupIndex
  // says) is left as it is, and so is the state. Empty: every tag is left. More than
  // TMarkupIndex::kMaxTriggers pairs count as no promise.
  std::vector<TTagTrigger> Pairs;
};

// Decides about one complete tag, "<" to ">". It may leave, replace or empty the text, and may
// switch the state's OutputOn and AwaitedEndTag.
class TTagHandler {
 public:
  virtual ~TTagHandler() = default;
  virtual void OnTag(std::string& tag, THtmlScanState& state) = 0;
  virtual TTagTriggers Triggers() const { return {}; }
};

// Scans the next piece of a body. False when the sink refused bytes: the scan is over then.
bool ScanHtml(THtmlScanState& state, std::span<const char> piece, TTagHandler& tags, TByteSink& out);

// The body has ended: an unfinished tag or comment is dropped, and the state is ready for a new
// body (OutputOn on again, no awaited end tag).
void FinishHtml(THtmlScanState& state);

}  // namespace tarnwick
