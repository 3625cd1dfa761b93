#pragma once
// TRecentBlocks: the last requests the filters refused, newest last, with the entry that decided,
// for the statistics window. Connection threads add, the user-interface thread reads a copy; one
// mutex guards the ring, held for one copy or one insertion.

#include <cstddef>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace tarnwick {

struct TBlockedRequest {
  std::time_t When = 0;
  std::string Url;
  std::string Entry;  // the list entry that decided, as it stands in its list
};

class TRecentBlocks {
 public:
  static constexpr std::size_t kCapacity = 100;
  // An address longer than this is kept cut: the list is for reading, and a hostile page could
  // otherwise park a hundred huge URLs here.
  static constexpr std::size_t kUrlLimit = 2048;

  void Add(TBlockedRequest blocked);
  // Oldest first.
  std::vector<TBlockedRequest> Snapshot() const;
  void Clear();

 private:
  mutable std::mutex Mutex;
  std::vector<TBlockedRequest> Ring;  // guarded by Mutex; at most kCapacity
  std::size_t Next = 0;               // guarded by Mutex; where the next one goes once Ring is full
};

}  // namespace tarnwick
