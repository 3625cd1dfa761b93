#include "prefs/Prefs.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/Clock.h"

namespace tarnwick {

std::string FormatTimeZone(int biasMinutes) {
  // The sign comes from the bias itself, so that a zone less than an hour behind UTC is not shown
  // as ahead of it (hours alone would be "-0" and print without a sign).
  const int magnitude = std::abs(biasMinutes);
  char text[16];
  std::snprintf(text, sizeof text, "%c%.2d%.2d", biasMinutes > 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return text;
}

TPreparedSettings::TPreparedSettings(TPrefsSettings settings)
    : TPrefsSettings(std::move(settings)), BlockMatcher(BlockItems, BlockChecked) {}

TCorvanePrefs::TCorvanePrefs() : TCorvanePrefs(FormatTimeZone(StandardTimeBiasMinutes(std::time(nullptr)))) {}

TCorvanePrefs::TCorvanePrefs(std::string timeZone)
    : TimeZone(std::move(timeZone)), Current(std::make_shared<const TPreparedSettings>(TPrefsSettings())) {}

std::shared_ptr<const TPreparedSettings> TCorvanePrefs::Settings() const {
  std::lock_guard lock(SettingsMutex);
  return Current;
}

void TCorvanePrefs::Publish(TPrefsSettings settings) {
  // Prepared before the lock: building the matchers of a long list takes a while.
  auto published = std::make_shared<const TPreparedSettings>(std::move(settings));
  std::lock_guard lock(SettingsMutex);
  Current.swap(published);
  // The previous snapshot is released after the lock, by `published` going out of scope.
}

void TCorvanePrefs::ResetStats() {
  for (auto* counter : {&FltImagesCnt, &FltFormsCnt, &FltFramesCnt, &FltLayersCnt, &FltScriptsCnt, &FltTextCnt,
                        &FltWindowsCnt, &ImgCnt, &ConnCnt}) {
    counter->store(0);
  }
  for (auto* counter : {&SentCnt, &RecvCnt, &RecvProxyCnt}) counter->store(0);
}

}  // namespace tarnwick
