#pragma once
// The popup window filter: a page is wrapped in two scripts, the first of which swaps the browser's
// window-opening function for a dummy while the page loads and the second puts it back; calls
// written into tags (event handlers) are pointed at the dummy for good. Pure; any thread.

#include <string>
#include <string_view>

#include "filters/MarkupIndex.h"

namespace tarnwick {

// Sent right after the response head (159 bytes) and after the last byte of the body (45 bytes).
inline constexpr std::string_view kPopupOpenScript =
    "<script> KVXRealOpen=window.open; function KVXNullWin(){this.window;} "
    "function KVXOpen(url,nam,atr){return(new KVXNullWin());} window.open=KVXOpen; </script>\r\n";
inline constexpr std::string_view kPopupCloseScript = "<script> window.open=KVXRealOpen; </script>\r\n";

// Replaces every "window.open" in a tag's text by "KVXOpen", left to right, case-sensitively.
void ReplaceWindowOpen(std::string& tag);

// ReplaceWindowOpen changes only tags that hold this pair (the "." and "o" of "window.open").
inline constexpr TTagTrigger kWindowOpenTrigger = {'.', 'o'};

}  // namespace tarnwick
