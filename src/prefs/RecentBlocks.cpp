#include "prefs/RecentBlocks.h"

namespace tarnwick {

void TRecentBlocks::Add(TBlockedRequest blocked) {
  if (blocked.Url.size() > kUrlLimit) blocked.Url.resize(kUrlLimit);
  std::lock_guard lock(Mutex);
  if (Ring.size() < kCapacity) {
    Ring.push_back(std::move(blocked));
    return;
  }
  Ring[Next] = std::move(blocked);
  Next = (Next + 1) % kCapacity;
}

std::vector<TBlockedRequest> TRecentBlocks::Snapshot() const {
  std::lock_guard lock(Mutex);
  std::vector<TBlockedRequest> ordered;
  ordered.reserve(Ring.size());
  for (std::size_t i = 0; i < Ring.size(); ++i) ordered.push_back(Ring[(Next + i) % Ring.size()]);
  return ordered;
}

void TRecentBlocks::Clear() {
  std::lock_guard lock(Mutex);
  Ring.clear();
  Next = 0;
}

}  // namespace tarnwick
