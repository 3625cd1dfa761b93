#pragma once
// Why a request is blocked, redirected or let through: the request filters' decisions for one
// request, with the entry that decides each, for `tarnwick --explain` and the statistics window's
// list of recently blocked addresses. The lists are walked in their display order by the same rules
// the filters apply, so the entry named is the first that decides; nothing is sent or logged.
// Pure functions of a settings object; any thread.

#include <string>
#include <string_view>
#include <vector>

#include "prefs/Settings.h"

namespace tarnwick {

// Index of the first checked block-list entry whose text occurs in `url` (ASCII case ignored), or
// -1. Exception entries take part like any other text, as in the filter.
int FirstBlockingEntry(const TPrefsSettings& settings, std::string_view url);

enum class TFoundIn { Nowhere, Url, Referer, RequestUrl };

struct TExceptionMatch {
  int Index = -1;  // the block-list entry, -1 when no exception applies
  TFoundIn Where = TFoundIn::Nowhere;
};
// The first checked exception entry ("! " + text) whose text occurs, byte for byte, in `url`, the
// Referer or the request URL (looked at in that order).
TExceptionMatch FirstApplyingException(const TPrefsSettings& settings, std::string_view url, std::string_view referer,
                                       std::string_view requestUrl);

// Index of the first checked redirection entry that matches the request URL (ASCII case ignored) or,
// byte for byte, "[" + serverAddress + "]"; -1 for none.
int FirstRedirEntry(const TPrefsSettings& settings, std::string_view url, std::string_view serverAddress);

struct TExplainRequest {
  std::string Url;
  std::string Referer;
  std::string ClientAddress = "127.0.0.1";
};

struct TExplanation {
  std::vector<std::string> Steps;  // one line for each decision, in the pipeline's order
  std::string Outcome;             // what the browser gets
};

TExplanation ExplainRequest(const TPrefsSettings& settings, const TExplainRequest& request);

}  // namespace tarnwick
