#include "filters/Filters.h"

#include "engine/FilterProxyControl.h"

namespace tarnwick {

void PrepareFilters(TPrefsSettings&) {}

bool TTarnwickFilters::CheckAccess(TFilterProxyControl& request) const { return TFilterChain::CheckAccess(request); }

void TTarnwickFilters::RewriteHeaders(TFilterProxyControl& request) const { TFilterChain::RewriteHeaders(request); }

bool TTarnwickFilters::CheckRedirection(TFilterProxyControl& request) const {
  return TFilterChain::CheckRedirection(request);
}

bool TTarnwickFilters::BlockCheck(TFilterProxyControl& request) const { return TFilterChain::BlockCheck(request); }

bool TTarnwickFilters::FilterImage(TFilterProxyControl& request) const { return TFilterChain::FilterImage(request); }

void TTarnwickFilters::FilterHtml(TFilterProxyControl& request) const { TFilterChain::FilterHtml(request); }

}  // namespace tarnwick
