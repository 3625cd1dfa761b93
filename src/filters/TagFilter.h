#pragma once
// The HTML tag filter: decides about one complete tag of a page. A tag whose address (HREF, else
// SRC) is on the block list is removed when the user filters its kind, or the whole element it
// opens is dropped, or a frame is pointed at the proxy's own blank page; a tag whose WIDTH and
// HEIGHT are a listed picture size is removed whatever its address.
//
// Runs on the request's connection thread; works on request.HtmlScan and request.Tag, reads
// request.Settings and counts into request.Prefs.

#include <array>
#include <string>
#include <string_view>

#include "engine/HtmlScanState.h"
#include "filters/MarkupIndex.h"

namespace tarnwick {

class TFilterProxyControl;

// What a blocked frame becomes.
inline constexpr std::string_view kBlankFrameTag = "<FRAME SRC=http://--TARNWICK--/blank.html>";

// Takes a tag's text apart into words (NAME="value" and NAME = value both give NAME=value) and
// fills the name, the object address and the declared size.
void ParseTag(std::string_view tag, TParsedTag& parsed);

// Leaves, replaces or empties `tag`; may start or end the dropping of an element.
void FilterTag(TFilterProxyControl& request, std::string& tag);

// Outside a dropped element FilterTag leaves every tag without HREF and SRC alone: a tag it may
// change holds one of these pairs ("hr" of HREF, "sr" of SRC, in any case).
inline constexpr std::array<TTagTrigger, 2> kObjectTagTriggers = {{{'h', 'r'}, {'s', 'r'}}};

}  // namespace tarnwick
