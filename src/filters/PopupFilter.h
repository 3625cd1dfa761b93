#pragma once
// The popup window filter: a page is wrapped in two scripts, the first of which swaps the browser's
// window-opening function for a dummy while the page loads and the second puts it back; calls
// written into tags (event handlers) are pointed at the dummy for good. Pure; any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "filters/MarkupIndex.h"

namespace tarnwick {

// Sent right after the response head (159 bytes) and after the last byte of the body (45 bytes).
inline constexpr std::string_view kPopupOpenScript =
    "<script> KVXRealOpen=window.open; function KVXNullWin(){this.window;} "
    "function KVXOpen(url,nam,atr){return(new KVXNullWin());} window.open=KVXOpen; </script>\r\n";
inline constexpr std::string_view kPopupCloseScript = "<script> window.open=KVXRealOpen; </script>\r\n";

// Where the opening script goes in a page that begins with `start`. A script before the page's
// document-type declaration would put the browser in quirks mode, so it goes right after a leading
// declaration (one that only a byte-order mark, blanks and comments precede); without one it goes
// first. `complete`: no more bytes will follow `start`. Nullopt while the answer depends on bytes
// still to come.
std::optional<std::size_t> OpeningScriptPlace(std::string_view start, bool complete);

// Replaces every "window.open" in a tag's text by "KVXOpen", left to right, case-sensitively.
void ReplaceWindowOpen(std::string& tag);

// ReplaceWindowOpen changes only tags that hold this pair (the "." and "o" of "window.open").
inline constexpr TTagTrigger kWindowOpenTrigger = {'.', 'o'};

}  // namespace tarnwick
