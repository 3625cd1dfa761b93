#include "filters/Redirection.h"

#include <string>
#include <vector>

#include "engine/FilterProxyControl.h"
#include "filters/Credentials.h"
#include "filters/UrlText.h"

namespace tarnwick {

namespace {

// Fields of a redirection state line: check | action | target | credential.
constexpr size_t kActionField = 1;
constexpr size_t kTargetField = 2;
constexpr size_t kCredentialField = 3;

std::string FieldOf(const std::vector<std::string>& fields, size_t index) {
  return index < fields.size() ? fields[index] : std::string();
}

TRedirAction ActionOf(std::string_view field) {
  if (field == "1") return TRedirAction::Block;
  if (field == "2") return TRedirAction::Redirect;
  if (field == "3") return TRedirAction::Password;
  return TRedirAction::Pass;
}

}  // namespace

bool ActOnRedirEntry(TFilterProxyControl& request, std::size_t entryIndex) {
  const TPrefsSettings& settings = *request.Settings;
  const std::string state = entryIndex < settings.RedirStates.size() ? settings.RedirStates[entryIndex] : "";
  const std::vector<std::string> fields = SplitText(state, '|');
  // A hand-edited line without an action field lets the request pass rather than ending it
  // without an answer.
  const TRedirAction action = ActionOf(FieldOf(fields, kActionField));
  if (action == TRedirAction::Password &&
      CredentialMatches(PresentedCredential(request.RequestHeaders), FieldOf(fields, kCredentialField))) {
    return false;
  }
  return SendRedirAnswer(request, action, FieldOf(fields, kTargetField));
}

bool SendRedirAnswer(TFilterProxyControl& request, TRedirAction action, std::string_view target) {
  switch (action) {
    case TRedirAction::Block:
      request.AnswerWith(TStatus::PageBlocked);
      return true;
    case TRedirAction::Redirect:
      request.SendText(request.MakeStatusResponse(TStatus::Moved, request.Url, {}, "Location: " + std::string(target)));
      return true;
    case TRedirAction::Password:
      request.AnswerWith(TStatus::RedirectorAuth);
      return true;
    case TRedirAction::Pass:
      break;
  }
  return false;
}

bool CheckRedirection(TFilterProxyControl& request) {
  const TPrefsSettings& settings = *request.Settings;
  // Before the connection the server is unknown and the bracketed address is "[]".
  const std::string server = "[" + request.ServerStream->RemoteAddress() + "]";
  for (size_t i = 0; i < settings.RedirItems.size(); ++i) {
    if (!IsChecked(settings.RedirChecked, i)) continue;
    const std::string& entry = settings.RedirItems[i];
    if (ContainsText(entry, request.Url, false) != 0 || ContainsText(entry, server, true) != 0) {
      return ActOnRedirEntry(request, i);
    }
  }
  return false;
}

}  // namespace tarnwick
