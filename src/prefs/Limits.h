#pragma once
// The "Tarnwick.Limits" section of TARNWICK.INI: time-outs, the connection cap
// and the word analysis budget. A key that is missing, not a number or not
// positive keeps its default, so a damaged section never switches a bound off.

#include <string_view>

#include "platform/IniFile.h"
#include "prefs/Settings.h"

namespace tarnwick {

inline constexpr std::string_view kLimitsSection = "Tarnwick.Limits";

TLimits ReadLimits(const TIniFile &file);

}  // namespace tarnwick
