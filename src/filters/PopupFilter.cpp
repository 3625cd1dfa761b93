#include "filters/PopupFilter.h"

namespace tarnwick {

namespace {

constexpr std::string_view kCall = "window.open";
constexpr std::string_view kDummy = "KVXOpen";

}  // namespace

void ReplaceWindowOpen(std::string& tag) {
  size_t at = tag.find(kCall);
  while (at != std::string::npos) {
    tag.replace(at, kCall.size(), kDummy);
    at = tag.find(kCall, at + kDummy.size());
  }
}

}  // namespace tarnwick
