#pragma once
// TTarnwickFilters: the proxy's own filters behind the pipeline's filter seam. Each step hands the
// request to the filter that owns it (one pair of files per filter in this folder); the order of
// the steps is the pipeline's, in engine/FilterProxyControl.cpp.

#include "engine/FilterChain.h"
#include "filters/AccessControl.h"

namespace tarnwick {

class TTarnwickFilters : public TFilterChain {
 public:
  // Remembered access-control logins age by GetTickCount, or by `ticks` when given (tests).
  TTarnwickFilters();
  explicit TTarnwickFilters(TTickSource ticks);

  bool CheckAccess(TFilterProxyControl& request) const override;
  void RewriteHeaders(TFilterProxyControl& request) const override;
  bool CheckRedirection(TFilterProxyControl& request) const override;
  bool BlockCheck(TFilterProxyControl& request) const override;
  bool FilterImage(TFilterProxyControl& request) const override;
  bool FilterHtml(TFilterProxyControl& request) const override;
  bool TunnelRefused(TFilterProxyControl& request, std::string_view url) const override;
  bool MayReadBodies(const TFilterProxyControl& request) const override;

 private:
  TTickSource Ticks;  // constant after construction
};

}  // namespace tarnwick
