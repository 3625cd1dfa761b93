#pragma once
// The HTML tag filter: decides about one complete tag of a page. A tag whose address (HREF, else
// SRC) is on the block list is removed when the user filters its kind, or the whole element it
// opens is dropped, or a frame is pointed at the proxy's own blank page; a tag whose WIDTH and
// HEIGHT are a listed picture size is removed whatever its address.
//
// Runs on the request's connection thread, on the page's scanner state and tag workspace (both
// the HTML filter's); reads the request's settings and counts into its shared counters.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filters/HtmlScanner.h"
#include "filters/MarkupIndex.h"

namespace tarnwick {

class TFilterProxyControl;

// One tag taken apart by ParseTag: a workspace reused from tag to tag, so that deciding about a
// tag allocates nothing once the longest tag has been seen.
struct TParsedTag {
  TParsedTag() = default;
  TParsedTag(const TParsedTag&) = delete;  // the words point into this object's WordText
  TParsedTag& operator=(const TParsedTag&) = delete;

  // The words and the object address are views into WordText, valid until the next ParseTag or
  // Clear.
  std::vector<std::string_view> TagAttrs;
  std::string TagName;         // first word, upper case
  std::string_view ObjectUrl;  // the value of HREF, or of SRC when HREF is absent or empty
  std::int32_t TagWidth = 0;
  std::int32_t TagHeight = 0;
  // The tag's bytes, in which ParseTag makes each word contiguous.
  std::string WordText;

  void Clear() {
    TagAttrs.clear();
    TagName.clear();
    ObjectUrl = {};
    TagWidth = TagHeight = 0;
    WordText.clear();
  }
};

// What the tag decisions of one page have in common, worked out once for its request rather than
// for every tag.
struct TPageContext {
  explicit TPageContext(const TFilterProxyControl& request);
  // A block-list exception occurs in the Referer or the request URL: no address of the page is
  // blocked, and each one marks the connection.
  bool RequestTextsExcepted;
};

// What a blocked frame becomes.
inline constexpr std::string_view kBlankFrameTag = "<FRAME SRC=http://--TARNWICK--/blank.html>";

// Takes a tag's text apart into words (NAME="value" and NAME = value both give NAME=value) and
// fills the name, the object address and the declared size.
void ParseTag(std::string_view tag, TParsedTag& parsed);

// Leaves, replaces or empties `tag`; may start or end the dropping of an element (in `scan`).
// `parsed` is the workspace the tag is taken apart in; `page` was made for this request.
void FilterTag(TFilterProxyControl& request, const TPageContext& page, std::string& tag, THtmlScanState& scan,
               TParsedTag& parsed);

// Outside a dropped element FilterTag leaves every tag without HREF and SRC alone: a tag it may
// change holds one of these pairs ("hr" of HREF, "sr" of SRC, in any case).
inline constexpr std::array<TTagTrigger, 2> kObjectTagTriggers = {{{'h', 'r'}, {'s', 'r'}}};

}  // namespace tarnwick
