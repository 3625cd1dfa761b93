#pragma once
// TCorvanePrefs: the one preferences object of the process, and the only state that the
// user-interface thread shares with the connection threads.
//
// - Settings are an immutable TPrefsSettings snapshot. Apply builds a whole new one on the
//   user-interface thread and publishes it with Publish(); a connection takes Settings() once and
//   reads a consistent set of fields and lists for as long as it holds it.
// - Counters, ActiveConnections and RestartNeeded are atomics, written from any thread.
// - AuthClients has its own lock.
// - SinceDate belongs to the user-interface thread.
//
// The model depends on nothing but the platform layer: the engine and the filters read it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarnwick {

class TBlockListMatcher;

// Data derived from the lists of one settings object (prepared matchers). A copy starts without
// it, since the copy's lists may be changed next; a move keeps it. Filters fall back to the plain
// lists when it is missing, so a forgotten preparation costs speed, never a wrong answer.
template <typename T>
class TPreparedOnly {
 public:
  TPreparedOnly() = default;
  TPreparedOnly(const TPreparedOnly&) {}
  TPreparedOnly& operator=(const TPreparedOnly&) {
    Value.reset();
    return *this;
  }
  TPreparedOnly(TPreparedOnly&&) noexcept = default;
  TPreparedOnly& operator=(TPreparedOnly&&) noexcept = default;
  TPreparedOnly& operator=(std::shared_ptr<const T> value) {
    Value = std::move(value);
    return *this;
  }

  const T* get() const { return Value.get(); }
  void reset() { Value.reset(); }
  friend bool operator==(const TPreparedOnly& prepared, std::nullptr_t) { return prepared.Value == nullptr; }

 private:
  std::shared_ptr<const T> Value;
};

struct TImageSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  friend bool operator==(const TImageSize&, const TImageSize&) = default;
};

// Every setting that Apply copies from the window, in the order of the preferences model.
// Element i of each *Checked / *States array describes entry i of its list; an array may be shorter
// than its list, and an entry without an element counts as unchecked.
struct TPrefsSettings {
  std::int32_t ListenPort = 0;
  bool AllowOthers = false;
  std::string ProxyName;
  std::int32_t ProxyPort = 0;
  bool UseProxy = false;
  bool RequestFilter = false;
  bool TagFilter = false;
  bool PassThru = false;
  bool Offline = false;
  std::int32_t Referer = 0;  // 0 keep, 1 always remove, 2 other domain, 3 other domain or path
  std::int32_t Popups = 0;   // 0 off, 1 filter automatically opened windows
  bool FltForms = false;
  bool FltFrames = false;
  bool FltImages = false;
  bool FltLayers = false;
  bool FltScripts = false;
  bool FltText = false;
  bool FltWindows = false;
  std::int32_t DontFilterWhen = 0;  // 0 same domain, 1 same path, 2 always filter, -1 no choice
  bool FilterByDim = false;
  bool IgnoreNoDims = false;
  bool ReplaceTrans = false;
  std::int32_t Anims = 0;  // 0 leave, 1 first frame only, 2 repeat NumAnims times
  std::int32_t NumAnims = 0;
  bool DontUserAgent = false;
  bool DontLogMyself = false;
  bool HasWordEntries = false;
  bool EnableRedir = false;
  bool WordCase = false;
  std::vector<std::string> BlockItems;
  std::vector<std::string> RedirItems;
  std::vector<std::string> AclItems;
  std::vector<TImageSize> ImageSizes;
  std::vector<bool> BlockChecked;
  std::vector<bool> RedirChecked;
  std::vector<bool> SizeChecked;
  std::vector<std::string> RedirStates;
  std::vector<bool> AclChecked;
  std::vector<std::string> AclStates;
  std::int32_t PassExpireMs = 0;  // 0: an access-password login never expires
  bool LogEnabled = false;
  // The block list prepared for fast matching by PrepareFilters, which must come after the last
  // change to BlockItems / BlockChecked; null when never prepared (or copied), and then the
  // filters match the plain lists above.
  TPreparedOnly<TBlockListMatcher> PreparedBlockList;
};

// Whether element `index` of a check-mark array is set; missing elements count as unchecked.
inline bool IsChecked(const std::vector<bool>& checked, size_t index) {
  return index < checked.size() && checked[index];
}

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

  // The settings in force now. Never null.
  std::shared_ptr<const TPrefsSettings> Settings() const;
  // Replaces the settings in force; connections that hold the previous snapshot keep it.
  void Publish(TPrefsSettings settings);

  // Clears exactly the nine 32-bit and the three 64-bit statistics counters.
  void ResetStats();

  std::atomic<std::int32_t> ActiveConnections{0};
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
  std::atomic<bool> RestartNeeded{false};
  const std::string TimeZone;

 private:
  // A plain mutex rather than std::atomic<std::shared_ptr>: the same publication, held for one
  // pointer copy, and one that ThreadSanitizer can follow.
  mutable std::mutex SettingsMutex;
  std::shared_ptr<const TPrefsSettings> Current;  // guarded by SettingsMutex; never null
};

}  // namespace tarnwick
