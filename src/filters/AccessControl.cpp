#include "filters/AccessControl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/FilterProxyControl.h"
#include "filters/Credentials.h"
#include "filters/UrlText.h"

namespace tarnwick {

namespace {

// Fields of an access-control state line: check | method | credential.
constexpr size_t kMethodField = 1;
constexpr size_t kCredentialField = 2;

enum class TOutcome { Grant, Deny, Ask };

// The name of a remembered login: the address before "=".
std::string_view ClientOf(const TAuthClient& client) {
  const std::string_view entry = client.Entry;
  return entry.substr(0, entry.find('='));
}

// Ticks are compared as an unsigned 32-bit difference, so the counter's wrap-around after about
// 49.7 days does not make an old login look new or a new one old.
std::uint32_t IdleMs(const TAuthClient& client, std::uint32_t now) { return now - client.Age.Ticks; }

bool Expired(std::uint32_t idleMs, std::int32_t passExpireMs) {
  return passExpireMs != 0 && idleMs >= static_cast<std::uint32_t>(passExpireMs);
}

// Drops other clients' logins that have expired or sat idle for a day: clients that never come
// back would otherwise stay in the table for the whole run. The asking client's own entry is left
// to the password rule, which must refuse (not silently renew) an expired login.
void DropStaleLogins(std::vector<TAuthClient>& clients, std::string_view address, std::uint32_t now,
                     std::int32_t passExpireMs) {
  std::erase_if(clients, [&](const TAuthClient& client) {
    if (ClientOf(client) == address) return false;
    const std::uint32_t idle = IdleMs(client, now);
    return idle > kAuthClientIdleLimitMs || Expired(idle, passExpireMs);
  });
}

TOutcome PasswordRule(TFilterProxyControl& request, std::string_view credential, std::uint32_t now) {
  const std::int32_t passExpireMs = request.Settings->PassExpireMs;
  const std::string& address = request.ClientAddress;
  return request.Prefs->AuthClients.WithLock([&](std::vector<TAuthClient>& clients) {
    DropStaleLogins(clients, address, now, passExpireMs);
    auto known = std::find_if(clients.begin(), clients.end(),
                              [&](const TAuthClient& client) { return ClientOf(client) == address; });
    if (known == clients.end()) {
      clients.push_back({address + "=" + PresentedCredential(request.RequestHeaders), TAgeObj{now}});
      known = clients.end() - 1;
    }
    const std::string_view presented = std::string_view(known->Entry).substr(address.size() + 1);
    if (!CredentialMatches(presented, credential) || Expired(IdleMs(*known, now), passExpireMs)) {
      clients.erase(known);
      return TOutcome::Ask;
    }
    known->Age.Ticks = now;
    return TOutcome::Grant;
  });
}

TOutcome OutcomeFor(TFilterProxyControl& request, size_t entryIndex, const TTickSource& now) {
  const TPrefsSettings& settings = *request.Settings;
  const std::string state = entryIndex < settings.AclStates.size() ? settings.AclStates[entryIndex] : "";
  const std::vector<std::string> fields = SplitText(state, '|');
  // A hand-edited line without a method field grants, as method "0" does, instead of ending every
  // request of that client without an answer.
  const std::string method = kMethodField < fields.size() ? fields[kMethodField] : "0";
  if (method == "1") return TOutcome::Deny;
  if (method != "2") return TOutcome::Grant;
  const std::string credential = kCredentialField < fields.size() ? fields[kCredentialField] : "";
  return PasswordRule(request, credential, now());
}

}  // namespace

bool CheckAccess(TFilterProxyControl& request, const TTickSource& now) {
  const TPrefsSettings& settings = *request.Settings;
  for (size_t i = 0; i < settings.AclItems.size(); ++i) {
    if (settings.AclItems[i] != request.ClientAddress || !IsChecked(settings.AclChecked, i)) continue;
    switch (OutcomeFor(request, i, now)) {
      case TOutcome::Grant:
        return false;
      case TOutcome::Deny:
        request.AnswerWith(TStatus::Forbidden);
        return true;
      case TOutcome::Ask:
        request.AnswerWith(TStatus::GatewayAuth);
        return true;
    }
  }
  return false;
}

}  // namespace tarnwick
