#pragma once
// The block list's rule for one URL and the request-based decision. Patterns block a URL that
// contains them (ASCII case ignored); an exception entry ("! " + text) lets traffic through when its
// text occurs, byte for byte, in the URL under test, the received Referer or the request URL, and
// marks the connection (ExceptionHit). The list comes prepared in the request's settings snapshot
// (TBlockListMatcher, prefs/BlockListMatcher.h).
//
// Both run on the request's own connection thread.

#include <string_view>

namespace tarnwick {

class TFilterProxyControl;

// True when a checked pattern occurs in `url` and no checked exception applies. Sets the request's
// ExceptionHit when an exception applies, whether or not a pattern matched.
bool MatchBlockList(TFilterProxyControl& request, std::string_view url);

// Whether a checked exception occurs in the received Referer or the request URL: the part of the
// exception pass that is the same for every URL of one request, for callers that match many.
bool RequestTextsExcepted(const TFilterProxyControl& request);
// MatchBlockList with RequestTextsExcepted(request) already known.
bool MatchBlockList(TFilterProxyControl& request, std::string_view url, bool requestTextsExcepted);

// The request-based decision: clears ExceptionHit, then matches the request URL. True means the
// request is to be answered 403 "Page Blocked" (the pipeline answers).
bool BlockCheck(TFilterProxyControl& request);

}  // namespace tarnwick
