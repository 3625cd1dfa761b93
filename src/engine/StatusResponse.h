#pragma once
// The answers the proxy makes itself: a fixed table of status rows, each with its reason, extra
// header lines and an optional page with placeholders.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Version.h"

namespace tarnwick {

// The pseudo host that replaced frames point at; the proxy answers it itself.
inline constexpr std::string_view kPseudoHost = "--TARNWICK--";

struct TStatusRow {
  std::int32_t Code;
  std::string_view Reason;
  std::string_view ExtraHeaders;  // complete header lines, each ending in CR LF
  std::string_view Page;          // empty: no body
};

enum class TStatus {
  PageBlocked,     // 403 block list, blocking redirection entry, filtered image
  ServerError,     // 500 server or upstream proxy unreachable
  RedirectorAuth,  // 401 password-protected redirection entry
  GatewayAuth,     // 401 access control asking for a password
  Forbidden,       // 403 access control refusing the client
  Moved,           // 302 redirection; the caller adds the Location line
  NotModified,     // 304 offline mode
  BlankPage,       // 200 the pseudo host's page
  BadRequest,      // 400 a request that cannot be forwarded as it is; the error text says why
  LoopDetected,    // 508 the request would come back to the proxy itself
};

const TStatusRow& StatusRowOf(TStatus status);

// A finished answer: the full response text and the length of its page (-1 without a page).
struct TStatusResponse {
  std::string Text;
  std::int32_t PageLength = -1;
};

// Builds the answer for a row. The URL and the error text are HTML-escaped before they go into the
// page, so that a crafted link cannot become script on the proxy's own page. `extraHeader`, when
// given, is appended to the row's header lines without CR LF (the redirection's Location line).
TStatusResponse BuildStatusResponse(const TStatusRow& row, std::string_view url, std::string_view errorText,
                                    std::string_view extraHeader = {});

// & < > " ' as character references.
std::string HtmlEscape(std::string_view text);

}  // namespace tarnwick
