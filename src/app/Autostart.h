#pragma once
// Starting with the desktop session: the user's XDG autostart entry for Tarnwick. Plain files, no
// Qt, any thread.

#include <string>

namespace tarnwick {

// $XDG_CONFIG_HOME/autostart/tarnwick.desktop (~/.config/autostart/...); empty without a home.
std::string AutostartEntryPath();

// The entry's text for running `executable` at log-in.
std::string AutostartEntryText(const std::string& executable);

// Writes (on) or removes (off) the entry at `path`. Returns an empty text on success, else what
// went wrong.
std::string SetAutostart(bool on, const std::string& path, const std::string& executable);

}  // namespace tarnwick
