#include "app/AppOptions.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace tarnwick {

namespace {

// "--name VALUE" or "--name=VALUE" at arguments[i]: stores the value, moves i past it and returns
// true; a missing value sets `error`.
bool TakeValue(const std::vector<std::string>& arguments, size_t& i, std::string_view name, std::string& value,
               std::string& error) {
  const std::string& argument = arguments[i];
  if (argument == name) {
    if (i + 1 >= arguments.size()) {
      error = std::string(name) + " needs a value";
    } else {
      value = arguments[++i];
    }
    return true;
  }
  if (argument.size() > name.size() && argument.compare(0, name.size(), name) == 0 && argument[name.size()] == '=') {
    value = argument.substr(name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

TAppOptions ParseCommandLine(const std::vector<std::string>& arguments) {
  TAppOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--headless") {
      options.Headless = true;
    } else if (argument == "--help" || argument == "-h") {
      options.ShowHelp = true;
    } else if (argument == "--version") {
      options.ShowVersion = true;
    } else if (TakeValue(arguments, i, "--home", options.Home, options.Error) ||
               TakeValue(arguments, i, "--import-blocklist", options.ImportBlockList, options.Error) ||
               TakeValue(arguments, i, "--autostart", options.Autostart, options.Error) ||
               TakeValue(arguments, i, "--explain", options.Explain, options.Error) ||
               TakeValue(arguments, i, "--referer", options.Referer, options.Error) ||
               TakeValue(arguments, i, "--client", options.Client, options.Error) ||
               TakeValue(arguments, i, "--browsers", options.Browsers, options.Error)) {
      if (!options.Error.empty()) return options;
      if (argument.rfind("--autostart", 0) == 0 && options.Autostart != "on" && options.Autostart != "off") {
        options.Error = "--autostart takes on or off";
        return options;
      }
      if (argument.rfind("--browsers", 0) == 0 && options.Browsers != "on" && options.Browsers != "off") {
        options.Error = "--browsers takes on or off";
        return options;
      }
    } else {
      options.Error = "unknown option: " + argument;
      return options;
    }
  }
  if ((!options.Referer.empty() || !options.Client.empty()) && options.Explain.empty()) {
    options.Error = "--referer and --client go with --explain";
  }
  return options;
}

std::string UsageText() {
  return "Usage: tarnwick [--headless] [--home DIR] [--help] [--version]\n"
         "       tarnwick --import-blocklist FILE [--home DIR]\n"
         "       tarnwick --explain URL [--referer URL] [--client ADDRESS] [--home DIR]\n"
         "       tarnwick --browsers on|off [--home DIR]\n"
         "       tarnwick --autostart on|off\n"
         "\n"
         "A personal web filter: a local HTTP proxy that filters what your browsers fetch.\n"
         "\n"
         "  --headless                 run without any window\n"
         "  --home DIR                 keep settings, log and statistics in DIR (created if missing)\n"
         "  --import-blocklist FILE    add the hosts of a hosts file, a domain list or a filter\n"
         "                             list to the block list, then exit\n"
         "  --explain URL              show what the filters would do with a request for URL and\n"
         "                             which list entry decides (--referer: the page it came\n"
         "                             from; --client: the asking address, default 127.0.0.1)\n"
         "  --browsers on|off          point the browsers at this proxy (on) or switch their proxy\n"
         "                             use off (off), print each store changed, then exit\n"
         "  --autostart on|off         start Tarnwick with the desktop session, or no longer\n"
         "  --help                     show this text\n"
         "  --version                  show the version\n";
}

namespace {

bool MakeDirectory(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  return std::filesystem::is_directory(directory, error);
}

}  // namespace

bool IsInstalledLayout(const std::string& programDirectory) {
  const std::filesystem::path program(programDirectory);
  std::error_code error;
  return program.filename() == "bin" &&
         std::filesystem::is_directory(program.parent_path() / "share" / "tarnwick", error);
}

std::string DataDirectory(const std::string& programDirectory) {
  if (!IsInstalledLayout(programDirectory)) return programDirectory;
  return (std::filesystem::path(programDirectory).parent_path() / "share" / "tarnwick").string();
}

std::string SettingsDirectory(const TAppOptions& options, const std::string& programDirectory) {
  if (!options.Home.empty()) {
    return MakeDirectory(options.Home) ? std::filesystem::absolute(options.Home).string() : std::string();
  }
  // An installed program's directory is shared by every user (and writable by root): never a
  // place for one user's settings.
  if (!programDirectory.empty() && !IsInstalledLayout(programDirectory) &&
      ::access(programDirectory.c_str(), W_OK) == 0) {
    return programDirectory;
  }
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    config = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  const auto directory = config / "tarnwick";
  return MakeDirectory(directory) ? directory.string() : std::string();
}

}  // namespace tarnwick
