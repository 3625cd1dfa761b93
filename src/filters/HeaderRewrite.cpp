#include "filters/HeaderRewrite.h"

#include <string>

#include "engine/FilterProxyControl.h"
#include "filters/UrlText.h"

namespace tarnwick {

namespace {

// The product mark: name, "/", and the version with its leading blank.
const std::string kUserAgentMark = std::string(kAppName) + "/" + " V1.4";

enum TRefererRule { kKeep = 0, kAlwaysRemove = 1, kOtherDomain = 2, kOtherDomainOrPath = 3 };

// Hosts and directories compare as exact texts; ports and schemes are not compared.
bool RefererGoes(const TFilterProxyControl& request, std::string_view referer, std::int32_t rule) {
  switch (rule) {
    case kAlwaysRemove:
      return true;
    case kOtherDomain:
      return SplitUrl(referer).Host != request.Host;
    case kOtherDomainOrPath: {
      const TUrlParts parts = SplitUrl(referer);
      return parts.Host != request.Host || DirectoryOf(parts.Path) != DirectoryOf(request.Path);
    }
    default:
      return false;
  }
}

void MarkUserAgent(THeaderList& headers) {
  const std::string agent = headers.Get("User-Agent");
  if (!agent.empty()) {
    headers.Set("User-Agent", agent + " " + kUserAgentMark);
  } else {
    // Appended rather than set, so an empty header the browser sent stays as it was.
    headers.AddLine("User-Agent: " + kUserAgentMark);
  }
}

}  // namespace

void RewriteHeaders(TFilterProxyControl& request) {
  const TPrefsSettings& settings = *request.Settings;
  THeaderList& headers = request.RequestHeaders;
  if (headers.Has("Referer") && RefererGoes(request, headers.Get("Referer"), settings.Referer)) {
    headers.Set("Referer", "");  // deletes the first entry of that name
  }
  if (!settings.DontUserAgent) MarkUserAgent(headers);
}

}  // namespace tarnwick
