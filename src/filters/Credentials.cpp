#include "filters/Credentials.h"

#include <cctype>

#include "engine/HeaderList.h"

namespace tarnwick {

std::string PresentedCredential(const THeaderList& requestHeaders) {
  constexpr std::string_view kScheme = "basic ";
  const std::string value = requestHeaders.Get("Authorization");
  if (value.size() <= kScheme.size()) return {};
  for (size_t i = 0; i < kScheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(value[i])) != kScheme[i]) return {};
  }
  return value.substr(kScheme.size());
}

bool CredentialMatches(std::string_view presented, std::string_view stored) {
  return !stored.empty() && presented == stored;
}

}  // namespace tarnwick
