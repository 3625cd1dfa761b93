#include "filters/Explain.h"

#include "text/UrlText.h"

namespace tarnwick {

namespace {

constexpr std::string_view kExceptionMark = "! ";

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string_view ExceptionText(std::string_view entry) {
  return entry.substr(0, kExceptionMark.size()) == kExceptionMark ? entry.substr(kExceptionMark.size())
                                                                  : std::string_view();
}

const char* WhereText(TFoundIn where) {
  switch (where) {
    case TFoundIn::Url:
      return "the URL";
    case TFoundIn::Referer:
      return "the Referer";
    case TFoundIn::RequestUrl:
      return "the request URL";
    case TFoundIn::Nowhere:
      break;
  }
  return "nowhere";
}

const char* ActionText(TRedirAction action) {
  switch (action) {
    case TRedirAction::Block:
      return "block";
    case TRedirAction::Redirect:
      return "redirect";
    case TRedirAction::Password:
      return "password";
    case TRedirAction::Pass:
      break;
  }
  return "pass";
}

// The host of a URL when it is a literal address: the server address the redirection list sees
// once connected. A name would have to be looked up, which explaining never does.
std::string LiteralServerAddress(std::string_view url) {
  const std::string_view host = SplitUrl(url).Host;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') return std::string(host.substr(1, host.size() - 2));
  for (const char c : host) {
    if (!IsDigit(c) && c != '.') return {};
  }
  return std::string(host);
}

// Access control: the first checked entry for the client's address decides; none lets it in.
bool ExplainAccess(const TPrefsSettings& settings, const TExplainRequest& request, TExplanation& result) {
  for (size_t i = 0; i < settings.AclEntries.size(); ++i) {
    const TAclEntry& entry = settings.AclEntries[i];
    if (!entry.Checked || entry.Address != request.ClientAddress) continue;
    const std::string which = "access list: entry " + Quoted(entry.Address);
    switch (entry.Method) {
      case TAccessMethod::Deny:
        result.Steps.push_back(which + " denies " + request.ClientAddress);
        result.Outcome = "403 Forbidden";
        return true;
      case TAccessMethod::Password:
        result.Steps.push_back(which + " asks " + request.ClientAddress + " for a user name and password");
        return false;
      case TAccessMethod::Grant:
        break;
    }
    result.Steps.push_back(which + " grants " + request.ClientAddress);
    return false;
  }
  result.Steps.push_back("access list: no entry for " + request.ClientAddress + ", access granted");
  return false;
}

bool ExplainRedirection(const TPrefsSettings& settings, const TExplainRequest& request, TExplanation& result) {
  if (!settings.EnableRedir) {
    result.Steps.push_back("redirection list: switched off");
    return false;
  }
  const int index = FirstRedirEntry(settings, request.Url, LiteralServerAddress(request.Url));
  if (index < 0) {
    result.Steps.push_back("redirection list: no entry matches");
    return false;
  }
  const TRedirEntry& entry = settings.RedirEntries[static_cast<size_t>(index)];
  std::string step =
      "redirection list: entry " + Quoted(entry.Pattern) + " matches, action " + ActionText(entry.Action);
  if (entry.Action == TRedirAction::Redirect) step += " to " + entry.Target;
  result.Steps.push_back(step);
  switch (entry.Action) {
    case TRedirAction::Block:
      result.Outcome = "403 Page Blocked";
      return true;
    case TRedirAction::Redirect:
      result.Outcome = "302 redirect to " + entry.Target;
      return true;
    case TRedirAction::Password:
      result.Outcome = "401 (realm \"Tarnwick Redirector\") unless the browser gives the entry's password";
      return true;
    case TRedirAction::Pass:
      break;
  }
  return false;
}

bool ExplainBlockList(const TPrefsSettings& settings, const TExplainRequest& request, TExplanation& result) {
  if (!settings.RequestFilter) {
    result.Steps.push_back("block list: request filtering is off");
    return false;
  }
  const int blocking = FirstBlockingEntry(settings, request.Url);
  const TExceptionMatch exception = FirstApplyingException(settings, request.Url, request.Referer, request.Url);
  if (exception.Index >= 0) {
    std::string step = "block list: exception " + Quoted(settings.BlockItems[static_cast<size_t>(exception.Index)]) +
                       " found in " + WhereText(exception.Where) + " lets the request through";
    if (blocking >= 0) step += " (entry " + Quoted(settings.BlockItems[static_cast<size_t>(blocking)]) + " matched)";
    result.Steps.push_back(step + "; pictures of this connection are not filtered");
    return false;
  }
  if (blocking >= 0) {
    result.Steps.push_back("block list: blocked by entry " +
                           Quoted(settings.BlockItems[static_cast<size_t>(blocking)]));
    result.Outcome = "403 Page Blocked";
    return true;
  }
  result.Steps.push_back("block list: no entry matches");
  return false;
}

}  // namespace

int FirstBlockingEntry(const TPrefsSettings& settings, std::string_view url) {
  for (size_t i = 0; i < settings.BlockItems.size(); ++i) {
    if (IsChecked(settings.BlockChecked, i) && ContainsText(settings.BlockItems[i], url, false) != 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

TExceptionMatch FirstApplyingException(const TPrefsSettings& settings, std::string_view url, std::string_view referer,
                                       std::string_view requestUrl) {
  for (size_t i = 0; i < settings.BlockItems.size(); ++i) {
    if (!IsChecked(settings.BlockChecked, i)) continue;
    const std::string_view text = ExceptionText(settings.BlockItems[i]);
    if (text.empty()) continue;
    const int index = static_cast<int>(i);
    if (ContainsText(text, url, true) != 0) return {index, TFoundIn::Url};
    if (ContainsText(text, referer, true) != 0) return {index, TFoundIn::Referer};
    if (ContainsText(text, requestUrl, true) != 0) return {index, TFoundIn::RequestUrl};
  }
  return {};
}

int FirstRedirEntry(const TPrefsSettings& settings, std::string_view url, std::string_view serverAddress) {
  const std::string server = "[" + std::string(serverAddress) + "]";
  for (size_t i = 0; i < settings.RedirEntries.size(); ++i) {
    const TRedirEntry& entry = settings.RedirEntries[i];
    if (!entry.Checked) continue;
    if (ContainsText(entry.Pattern, url, false) != 0 || ContainsText(entry.Pattern, server, true) != 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

TExplanation ExplainRequest(const TPrefsSettings& settings, const TExplainRequest& request) {
  TExplanation result;
  if (ExplainAccess(settings, request, result)) return result;
  if (settings.Offline) {
    result.Steps.push_back("offline mode is on");
    result.Outcome = "304 Not Modified (offline)";
    return result;
  }
  if (settings.PassThru) {
    result.Steps.push_back("pass-through mode is on: no list is consulted");
    result.Outcome = "forwarded unfiltered";
    return result;
  }
  if (ExplainRedirection(settings, request, result) || ExplainBlockList(settings, request, result)) return result;
  result.Outcome = "forwarded to the server";
  if (settings.TagFilter || settings.FilterByDim || settings.Popups != TPopupRule::Off || settings.HasWordEntries) {
    result.Outcome += "; the answer still passes the content filters";
  }
  return result;
}

}  // namespace tarnwick
