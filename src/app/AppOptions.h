#pragma once
// The command line and the settings directory it leads to.

#include <string>
#include <vector>

namespace tarnwick {

struct TAppOptions {
  bool Headless = false;
  bool ShowHelp = false;
  bool ShowVersion = false;
  std::string Home;   // --home DIR, empty when not given
  std::string ImportBlockList;  // --import-blocklist FILE: import, then exit
  std::string Autostart;        // --autostart on|off: "on", "off" or empty
  std::string Error;  // set when the command line could not be understood
};

TAppOptions ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

// --home when given, else the program's directory when it is writable (a portable install, the
// build tree), else $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick). Creates it when missing;
// empty when it cannot be created.
std::string SettingsDirectory(const TAppOptions& options, const std::string& programDirectory);

}  // namespace tarnwick
