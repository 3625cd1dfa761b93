#pragma once
// TCorvanePrefs: the one preferences object of the process, and the only state that the
// user-interface thread shares with the connection threads.
//
// - Settings are an immutable, prepared snapshot (TPreparedSettings). Apply builds a whole new
//   TPrefsSettings on the user-interface thread and hands it to Publish(), which prepares it and
//   puts it in force; a request takes Settings() once, when it starts, and reads a consistent set
//   of fields, lists and matchers for as long as it holds it.
// - Counters, ActiveConnections and RestartNeeded are atomics, written from any thread.
// - AuthClients has its own lock.
// - SinceDate belongs to the user-interface thread.
//
// The model depends on nothing but the platform and text layers: the engine and the filters read it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "prefs/BlockListMatcher.h"
#include "prefs/RecentBlocks.h"
#include "prefs/Settings.h"

namespace tarnwick {

// A published settings snapshot: the settings and everything prepared from them. It can only be
// made from a whole TPrefsSettings, which its constructor prepares, so no snapshot lacks its
// matchers and none carries matchers built from other lists. Immutable; shared by every
// connection thread that holds it. (Copying one out as a TPrefsSettings, to change and publish
// anew, leaves the prepared parts behind, as it should.)
class TPreparedSettings : public TPrefsSettings {
 public:
  explicit TPreparedSettings(TPrefsSettings settings);
  TPreparedSettings(const TPreparedSettings&) = delete;
  TPreparedSettings& operator=(const TPreparedSettings&) = delete;

  // The checked block-list entries, prepared for matching.
  const TBlockListMatcher& BlockList() const { return BlockMatcher; }

 private:
  TBlockListMatcher BlockMatcher;
};

// Time stamp of a remembered login: the tick count of the client's last authorised request.
struct TAgeObj {
  std::uint32_t Ticks = 0;
};

// Clients that have given the access password, as entries "address=credential".
struct TAuthClient {
  std::string Entry;
  TAgeObj Age;
};

class TAuthClients {
 public:
  // Runs `use` on the entries with the lock held; one request's whole check goes in one call.
  template <typename F>
  decltype(auto) WithLock(F&& use) {
    std::lock_guard lock(Mutex);
    return use(Entries);
  }

 private:
  std::mutex Mutex;
  std::vector<TAuthClient> Entries;  // guarded by Mutex
};

// "+hhmm" / "-hhmm" for a bias in minutes (UTC = local time + bias).
std::string FormatTimeZone(int biasMinutes);

class TCorvanePrefs {
 public:
  TCorvanePrefs();
  explicit TCorvanePrefs(std::string timeZone);
  TCorvanePrefs(const TCorvanePrefs&) = delete;
  TCorvanePrefs& operator=(const TCorvanePrefs&) = delete;

  // The settings in force now, prepared. Never null.
  std::shared_ptr<const TPreparedSettings> Settings() const;
  // Prepares `settings` and puts them in force; requests that hold the previous snapshot keep it.
  void Publish(TPrefsSettings settings);

  // Clears exactly the nine 32-bit and the three 64-bit statistics counters.
  void ResetStats();

  std::atomic<std::int32_t> ActiveConnections{0};
  // Bytes held by pages collected whole for word analysis, over all connections.
  std::atomic<std::int64_t> CollectedBytes{0};
  std::atomic<std::int32_t> FltImagesCnt{0};
  std::atomic<std::int32_t> FltFormsCnt{0};
  std::atomic<std::int32_t> FltFramesCnt{0};
  std::atomic<std::int32_t> FltLayersCnt{0};
  std::atomic<std::int32_t> FltScriptsCnt{0};
  std::atomic<std::int32_t> FltTextCnt{0};
  std::atomic<std::int32_t> FltWindowsCnt{0};
  std::atomic<std::int32_t> ImgCnt{0};
  std::atomic<std::int32_t> ConnCnt{0};
  std::atomic<std::int64_t> SentCnt{0};
  std::atomic<std::int64_t> RecvCnt{0};
  std::atomic<std::int64_t> RecvProxyCnt{0};

  std::string SinceDate;  // user-interface thread only
  TAuthClients AuthClients;
  // What the filters refused lately, for the statistics window.
  TRecentBlocks RecentBlocks;
  std::atomic<bool> RestartNeeded{false};
  const std::string TimeZone;

 private:
  // A plain mutex rather than std::atomic<std::shared_ptr>: the same publication, held for one
  // pointer copy, and one that ThreadSanitizer can follow.
  mutable std::mutex SettingsMutex;
  std::shared_ptr<const TPreparedSettings> Current;  // guarded by SettingsMutex; never null
};

}  // namespace tarnwick
