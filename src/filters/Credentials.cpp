#include "filters/Credentials.h"

#include "engine/HeaderList.h"

namespace tarnwick {

std::string PresentedCredential(const THeaderList& requestHeaders) {
  constexpr size_t kSchemeLength = 6;  // "Basic "
  const std::string value = requestHeaders.Get("Authorization");
  return value.size() > kSchemeLength ? value.substr(kSchemeLength) : std::string();
}

bool CredentialMatches(std::string_view presented, std::string_view stored) {
  return !stored.empty() && presented == stored;
}

}  // namespace tarnwick
