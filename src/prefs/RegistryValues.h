#pragma once
// The program-wide values of the current user ("Software\Brevikor\Tarnwick" in the per-user store):
// first start, version, language, tips, date of the last update check. Loaded at program start
// before any window exists and saved at the saving points of the settings (exit, language change,
// tips closed, update check). User-interface thread only.

#include <cstdint>
#include <string>

#include "platform/UserStore.h"

namespace tarnwick {

inline constexpr char kRegistryKey[] = "Software\\Brevikor\\Tarnwick";
// The version the program writes on every save.
inline constexpr double kIdxVersion = 1.4;

struct TRegistryValues {
  bool IsFirstStart = true;
  double IdxVersion = kIdxVersion;
  std::uint8_t Language = 0;  // language index, see LanguageDirectoryName
  bool ShowTips = true;
  std::int32_t TipsIdx = 1;
  double LastUpdate = 0;  // days since 30 December 1899, the fraction being the time of day
};

// Reads every value, first writing each missing (or unreadable) one with its default: `language`
// for Language (the detected language), `now` for LastUpdate. False when a missing value could not
// be written; the values read so far are kept either way.
bool LoadRegistryValues(TUserStore& store, TRegistryValues& values, std::uint8_t language, double now);
// Writes all of them, IdxVersion as kIdxVersion. False when the store cannot be written.
bool SaveRegistryValues(TUserStore& store, const TRegistryValues& values);

// The local time now as days since 30 December 1899.
double DateTimeNow();

// "ENG", "DEU", "ITA", "ESP" or "FRA" for indexes 0 to 5; empty for any other index, which leaves
// the language directory as it was.
std::string LanguageDirectoryName(int index);

}  // namespace tarnwick
