#pragma once
// The statistics lines (`StatStrings`): the counters of TCorvanePrefs as thirteen "key=value"
// lines in their fixed order, the form in which they are stored with the settings and shown by the
// statistics window. User-interface thread only (the counters themselves are atomics that the
// connection threads keep counting meanwhile).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "prefs/Prefs.h"

namespace tarnwick {

using TStatLines = std::vector<std::string>;

// The keys of the thirteen lines, in order: nine 32-bit counters, three 64-bit ones, SinceDate.
const std::vector<std::string_view>& StatKeys();

// Replaces `statStrings` by the thirteen lines of the counters and SinceDate.
void SaveStats(const TCorvanePrefs& prefs, TStatLines& statStrings);
// Sets every counter from its line; a missing line or a value that is not a number of the
// counter's width gives 0. SinceDate takes its text as it is (empty when missing).
void LoadStats(TCorvanePrefs& prefs, const TStatLines& statStrings);
// Clears the counters, starts a new period on `today`, then SaveStats.
void ResetStats(TCorvanePrefs& prefs, TStatLines& statStrings, std::string today);

// The value after the first "=" of the first line whose key matches (without regard to case).
std::optional<std::string> StatValue(const TStatLines& lines, std::string_view key);

}  // namespace tarnwick
