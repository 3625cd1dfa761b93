#include "filters/Redirection.h"

#include <ctime>
#include <string>

#include "engine/FilterProxyControl.h"
#include "filters/Credentials.h"
#include "text/UrlText.h"

namespace tarnwick {

bool ActOnRedirEntry(TFilterProxyControl& request, const TRedirEntry& entry) {
  if (entry.Action == TRedirAction::Password &&
      CredentialMatches(PresentedCredential(request.Request().Headers), entry.Credential)) {
    return false;
  }
  if (entry.Action == TRedirAction::Block) {
    request.Shared().RecentBlocks.Add({std::time(nullptr), request.Request().Url, entry.Pattern});
  }
  return SendRedirAnswer(request, entry.Action, entry.Target);
}

bool SendRedirAnswer(TFilterProxyControl& request, TRedirAction action, std::string_view target) {
  switch (action) {
    case TRedirAction::Block:
      request.Answer(TStatus::PageBlocked);
      return true;
    case TRedirAction::Redirect:
      request.Answer(TStatus::Moved, "Location: " + std::string(target));
      return true;
    case TRedirAction::Password:
      request.Answer(TStatus::RedirectorAuth);
      return true;
    case TRedirAction::Pass:
      break;
  }
  return false;
}

bool CheckRedirection(TFilterProxyControl& request) {
  // Before the connection the server is unknown and the bracketed address is "[]".
  const std::string server = "[" + request.ServerAddress() + "]";
  const std::string& url = request.Request().Url;
  for (const TRedirEntry& entry : request.Settings().RedirEntries) {
    if (!entry.Checked) continue;
    if (ContainsText(entry.Pattern, url, false) != 0 || ContainsText(entry.Pattern, server, true) != 0) {
      return ActOnRedirEntry(request, entry);
    }
  }
  return false;
}

bool RedirectionListHit(const TFilterProxyControl& request, std::string_view url) {
  for (const TRedirEntry& entry : request.Settings().RedirEntries) {
    if (entry.Checked && ContainsText(entry.Pattern, url, false) != 0) return true;
  }
  return false;
}

}  // namespace tarnwick
