#pragma once
// The block list: URL patterns matched without regard to ASCII case anywhere in a URL, and
// exception entries ("! " + text) that let traffic through when their text occurs, byte for byte,
// in the URL under test, the received Referer or the request URL.
//
// TBlockListMatcher is the list prepared once per Apply: immutable after construction, shared by
// every connection thread through the settings snapshot. MatchBlockList and BlockCheck run on the
// request's own connection thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filters/SubstringSet.h"

namespace tarnwick {

class TFilterProxyControl;
struct TPrefsSettings;

class TBlockListMatcher {
 public:
  // Takes the checked entries of `items`; `checked` may be shorter than `items`.
  TBlockListMatcher(const std::vector<std::string>& items, const std::vector<bool>& checked);
  TBlockListMatcher(const TBlockListMatcher&) = delete;
  TBlockListMatcher& operator=(const TBlockListMatcher&) = delete;

  // Pattern pass: whether any checked entry occurs in `url`, ignoring ASCII case.
  bool AnyPatternIn(std::string_view url) const;
  // Exception pass: whether a checked exception's text occurs in one of the three texts, in the
  // order given, case-sensitively.
  bool AnyExceptionIn(std::string_view url, std::string_view referer, std::string_view requestUrl) const;

 private:
  TSubstringSet Patterns;    // every checked entry, exceptions included, ASCII case ignored
  TSubstringSet Exceptions;  // the texts after "! " of checked exceptions, byte for byte
};

// The rule applied to one URL: true when a checked pattern occurs in it and no checked exception
// applies. Sets request.ExceptionHit when an exception applies. Uses the matcher prepared in
// request.Settings when there is one, the plain list otherwise; both give the same result.
bool MatchBlockList(TFilterProxyControl& request, std::string_view url);

// The request-based decision: clears ExceptionHit, then matches the request URL. True means the
// request is to be answered 403 "Page Blocked" (the pipeline answers).
bool BlockCheck(TFilterProxyControl& request);

// The matcher prepared for exactly these settings' lists, or null. A settings object copied from a
// prepared one and then changed carries a matcher built from other lists; it is recognised by the
// storage of BlockItems (a copy has its own, a move keeps it) and ignored, so the plain rule
// applies until the settings are prepared again.
const TBlockListMatcher* PreparedFor(const TPrefsSettings& settings);

// Builds the prepared form of the settings' block list (Apply calls this through PrepareFilters).
std::shared_ptr<const TBlockListMatcher> PrepareBlockList(const TPrefsSettings& settings);

}  // namespace tarnwick
