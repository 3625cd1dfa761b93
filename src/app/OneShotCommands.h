#pragma once
// Commands that do one job and end, without windows or an event loop. Each returns the process's
// exit status and prints what it did (stdout) or what went wrong (stderr).

#include <string>

namespace tarnwick {

// --import-blocklist FILE: adds the file's hosts to the block list of the settings directory. A
// Tarnwick running on the same directory is asked (SIGHUP) to take the file up at once; since it
// writes the file itself at exit, it would otherwise put the old list back.
int RunBlockListImportCommand(const std::string& settingsDirectory, const std::string& listFile);

// --explain URL [--referer URL] [--client ADDRESS]: what the request filters would do with that
// request under the settings of the settings directory, step by step with the deciding entries.
// Needs a QApplication (any platform): the settings are read by the settings window's own code.
int RunExplainCommand(const std::string& settingsDirectory, const std::string& url, const std::string& referer,
                      const std::string& clientAddress);

// --autostart on|off for the program at `executable`.
int RunAutostartCommand(bool on, const std::string& executable);

}  // namespace tarnwick
