#include "filters/AccessControl.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/FilterProxyControl.h"
#include "filters/Credentials.h"

namespace tarnwick {

namespace {

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
  const std::int32_t passExpireMs = request.Settings().PassExpireMs;
  const std::string& address = request.ClientAddress();
  return request.Shared().AuthClients.WithLock([&](std::vector<TAuthClient>& clients) {
    DropStaleLogins(clients, address, now, passExpireMs);
    auto known = std::find_if(clients.begin(), clients.end(),
                              [&](const TAuthClient& client) { return ClientOf(client) == address; });
    if (known == clients.end()) {
      clients.push_back({address + "=" + PresentedCredential(request.Request().Headers), TAgeObj{now}});
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

// A hand-edited line without a method field grants (ListStates.h), as method "0" does, instead of
// ending every request of that client without an answer.
TOutcome OutcomeFor(TFilterProxyControl& request, const TAclEntry& entry, const TTickSource& now) {
  switch (entry.Method) {
    case TAccessMethod::Deny:
      return TOutcome::Deny;
    case TAccessMethod::Password:
      return PasswordRule(request, entry.Credential, now());
    case TAccessMethod::Grant:
      break;
  }
  return TOutcome::Grant;
}

// The proxy's own password is nobody else's business: a web site must never receive it.
void ForgetProxyCredential(TFilterProxyControl& request, const TAclEntry& entry) {
  THeaderList& headers = request.Request().Headers;
  if (entry.Method == TAccessMethod::Password && CredentialMatches(PresentedCredential(headers), entry.Credential)) {
    headers.RemoveAll("Authorization");
  }
}

}  // namespace

bool CheckAccess(TFilterProxyControl& request, const TTickSource& now) {
  for (const TAclEntry& entry : request.Settings().AclEntries) {
    if (!entry.Checked || entry.Address != request.ClientAddress()) continue;
    switch (OutcomeFor(request, entry, now)) {
      case TOutcome::Grant:
        ForgetProxyCredential(request, entry);
        return false;
      case TOutcome::Deny:
        request.Answer(TStatus::Forbidden);
        return true;
      case TOutcome::Ask:
        request.Answer(TStatus::GatewayAuth);
        return true;
    }
  }
  return false;
}

}  // namespace tarnwick
