#include "filters/Filters.h"

#include "engine/FilterProxyControl.h"
#include "filters/BlockList.h"
#include "filters/HeaderRewrite.h"
#include "filters/HtmlFilter.h"
#include "filters/ImageFilter.h"
#include "filters/Redirection.h"
#include "platform/Clock.h"

namespace tarnwick {

TTarnwickFilters::TTarnwickFilters() : TTarnwickFilters(GetTickCount) {}

TTarnwickFilters::TTarnwickFilters(TTickSource ticks) : Ticks(std::move(ticks)) {}

bool TTarnwickFilters::CheckAccess(TFilterProxyControl& request) const { return tarnwick::CheckAccess(request, Ticks); }

void TTarnwickFilters::RewriteHeaders(TFilterProxyControl& request) const { tarnwick::RewriteHeaders(request); }

bool TTarnwickFilters::CheckRedirection(TFilterProxyControl& request) const {
  return tarnwick::CheckRedirection(request);
}

bool TTarnwickFilters::BlockCheck(TFilterProxyControl& request) const { return tarnwick::BlockCheck(request); }

bool TTarnwickFilters::FilterImage(TFilterProxyControl& request) const { return tarnwick::FilterImage(request); }

bool TTarnwickFilters::FilterHtml(TFilterProxyControl& request) const { return tarnwick::FilterHtml(request); }

bool TTarnwickFilters::TunnelRefused(TFilterProxyControl& request, std::string_view url) const {
  const TPreparedSettings& settings = request.Settings();
  if (settings.RequestFilter && tarnwick::MatchBlockList(request, url)) return true;
  return settings.EnableRedir && RedirectionListHit(request, url);
}

bool TTarnwickFilters::MayReadBodies(const TFilterProxyControl& request) const {
  return HtmlFilterMayRead(request) || ImageFilterMayRead(request.Settings());
}

}  // namespace tarnwick
