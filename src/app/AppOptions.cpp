#include "app/AppOptions.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarnwick {

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
    } else if (argument == "--home") {
      if (i + 1 >= arguments.size()) {
        options.Error = "--home needs a directory";
        return options;
      }
      options.Home = arguments[++i];
    } else if (argument.rfind("--home=", 0) == 0) {
      options.Home = argument.substr(7);
    } else {
      options.Error = "unknown option: " + argument;
      return options;
    }
  }
  return options;
}

std::string UsageText() {
  return "Usage: tarnwick [--headless] [--home DIR] [--help] [--version]\n"
         "\n"
         "A personal web filter: a local HTTP proxy that filters what your browsers fetch.\n"
         "\n"
         "  --headless   run without any window\n"
         "  --home DIR   keep settings, log and statistics in DIR (created if missing)\n"
         "  --help       show this text\n"
         "  --version    show the version\n";
}

namespace {

bool MakeDirectory(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  return std::filesystem::is_directory(directory, error);
}

}  // namespace

std::string SettingsDirectory(const TAppOptions& options, const std::string& programDirectory) {
  if (!options.Home.empty()) {
    return MakeDirectory(options.Home) ? std::filesystem::absolute(options.Home).string() : std::string();
  }
  if (!programDirectory.empty() && ::access(programDirectory.c_str(), W_OK) == 0) return programDirectory;
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
