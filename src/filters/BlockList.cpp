#include "filters/BlockList.h"

#include <ctime>
#include <string>

#include "engine/FilterProxyControl.h"
#include "filters/Explain.h"

namespace tarnwick {

bool RequestTextsExcepted(const TFilterProxyControl& request) {
  const TBlockListMatcher& list = request.Settings().BlockList();
  const TRequestHead& head = request.Request();
  return list.AnyExceptionIn(head.Referer) || list.AnyExceptionIn(head.Url);
}

bool MatchBlockList(TFilterProxyControl& request, std::string_view url, bool requestTextsExcepted) {
  const TBlockListMatcher& list = request.Settings().BlockList();
  // The exception pass always runs: an exception marks the connection even when no pattern matched.
  if (requestTextsExcepted || list.AnyExceptionIn(url)) {
    request.SetExceptionHit(true);
    return false;
  }
  return list.AnyPatternIn(url);
}

bool MatchBlockList(TFilterProxyControl& request, std::string_view url) {
  return MatchBlockList(request, url, RequestTextsExcepted(request));
}

bool BlockCheck(TFilterProxyControl& request) {
  request.SetExceptionHit(false);
  const std::string& url = request.Request().Url;
  if (!MatchBlockList(request, url)) return false;
  // Naming the entry walks the list once more, only for a request that is refused anyway.
  const TPrefsSettings& settings = request.Settings();
  const int entry = FirstBlockingEntry(settings, url);
  request.Shared().RecentBlocks.Add(
      {std::time(nullptr), url, entry >= 0 ? settings.BlockItems[static_cast<size_t>(entry)] : std::string()});
  return true;
}

}  // namespace tarnwick
