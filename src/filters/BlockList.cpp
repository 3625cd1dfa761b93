#include "filters/BlockList.h"

#include "engine/FilterProxyControl.h"

namespace tarnwick {

bool MatchBlockList(TFilterProxyControl& request, std::string_view url) {
  const TBlockListMatcher& list = request.Settings().BlockList();
  const TRequestHead& head = request.Request();
  // Both passes always run: an exception marks the connection even when no pattern matched.
  const bool blocked = list.AnyPatternIn(url);
  if (list.AnyExceptionIn(url, head.Referer, head.Url)) {
    request.SetExceptionHit(true);
    return false;
  }
  return blocked;
}

bool BlockCheck(TFilterProxyControl& request) {
  request.SetExceptionHit(false);
  return MatchBlockList(request, request.Request().Url);
}

}  // namespace tarnwick
