#pragma once
// The HTML scanner's state between two reads of one response body, and the fields of the tag it
// decided on last. Plain data held by the connection's request object, so that a page split
// anywhere across reads scans the same as in one piece; the scanner and the tag filter (in
// filters/) work on it. One connection's thread only.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

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

// One tag taken apart by ParseTag: a workspace reused from tag to tag, so that deciding about a
// tag allocates nothing once the longest tag has been seen.
struct TParsedTag {
  TParsedTag() = default;
  TParsedTag(const TParsedTag&) = delete;  // the words point into this object's WordText
  TParsedTag& operator=(const TParsedTag&) = delete;

  // The words, each a view into WordText, valid until the next ParseTag or Clear.
  std::vector<std::string_view> TagAttrs;
  std::string TagName;    // first word, upper case
  std::string ObjectUrl;  // HREF, or SRC when HREF is absent or empty
  std::int32_t TagWidth = 0;
  std::int32_t TagHeight = 0;
  // The words' bytes back to back, in order: words that are joined are neighbours here.
  std::string WordText;

  void Clear() {
    TagAttrs.clear();
    TagName.clear();
    ObjectUrl.clear();
    TagWidth = TagHeight = 0;
    WordText.clear();
  }
};

}  // namespace tarnwick
