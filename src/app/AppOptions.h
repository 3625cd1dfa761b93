#pragma once
// The command line and the settings directory it leads to.

#include <string>
#include <vector>

namespace tarnwick {

struct TAppOptions {
  bool Headless = false;
  bool ShowHelp = false;
  bool ShowVersion = false;
  std::string Home;             // --home DIR, empty when not given
  std::string ImportBlockList;  // --import-blocklist FILE: import, then exit
  std::string Autostart;        // --autostart on|off: "on", "off" or empty
  std::string Explain;          // --explain URL: explain, then exit
  std::string Referer;          // --referer URL, with --explain
  std::string Client;           // --client ADDRESS, with --explain
  std::string Browsers;         // --browsers on|off: configure the browsers and exit; empty when not given
  std::string Error;            // set when the command line could not be understood
};

TAppOptions ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

// An installed program: it runs from <prefix>/bin and its files are in <prefix>/share/tarnwick.
bool IsInstalledLayout(const std::string& programDirectory);

// Where the program's read-only files (language files, help, licence, icons) are:
// <prefix>/share/tarnwick when installed, else beside the program (the build tree, a portable
// copy).
std::string DataDirectory(const std::string& programDirectory);

// --home when given; else, for a program that is not installed, its own directory when it is
// writable (a portable copy, the build tree); else $XDG_CONFIG_HOME/tarnwick (~/.config/tarnwick).
// Creates it when missing; empty when it cannot be created.
std::string SettingsDirectory(const TAppOptions& options, const std::string& programDirectory);

}  // namespace tarnwick
