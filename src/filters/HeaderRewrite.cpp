#include "filters/HeaderRewrite.h"

#include <string>

#include "engine/FilterProxyControl.h"
#include "platform/Version.h"
#include "text/UrlText.h"

namespace tarnwick {

namespace {

// The product mark: name, "/", and the version with its leading blank.
const std::string kUserAgentMark = TARNWICK_APP_NAME "/ V" TARNWICK_VERSION;

// Hosts and directories compare as exact texts; ports and schemes are not compared.
bool RefererGoes(const TRequestHead& request, std::string_view referer, TRefererRule rule) {
  switch (rule) {
    case TRefererRule::AlwaysRemove:
      return true;
    case TRefererRule::OtherDomain:
      return SplitUrl(referer).Host != request.Host;
    case TRefererRule::OtherDomainOrPath: {
      const TUrlParts parts = SplitUrl(referer);
      return parts.Host != request.Host || DirectoryOf(parts.Path) != DirectoryOf(request.Path);
    }
    case TRefererRule::Keep:
      break;
  }
  return false;
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
  const TPrefsSettings& settings = request.Settings();
  THeaderList& headers = request.Request().Headers;
  if (headers.Has("Referer") && RefererGoes(request.Request(), headers.Get("Referer"), settings.Referer)) {
    headers.Set("Referer", "");  // deletes the first entry of that name
  }
  if (!settings.DontUserAgent) MarkUserAgent(headers);
}

}  // namespace tarnwick
