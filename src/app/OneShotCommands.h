#pragma once
// Commands that do one job and end, without windows or an event loop. Each returns the process's
// exit status and prints what it did (stdout) or what went wrong (stderr).

#include <string>

namespace tarnwick {

// --import-blocklist FILE: adds the file's hosts to the block list of the settings directory. A
// Tarnwick running on the same directory is asked (SIGHUP) to take the file up at once; since it
// writes the file itself at exit, it would otherwise put the old list back.
int RunBlockListImportCommand(const std::string& settingsDirectory, const std::string& listFile);

// --autostart on|off for the program at `executable`.
int RunAutostartCommand(bool on, const std::string& executable);

}  // namespace tarnwick
