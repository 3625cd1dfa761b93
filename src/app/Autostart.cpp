#include "app/Autostart.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarnwick {

namespace {

// One argument of an Exec line: quoted when it holds anything the desktop-entry rules reserve,
// with the characters that stay special inside quotes escaped; backslashes doubled once more
// because the whole value is itself an escaped string.
std::string ExecArgument(const std::string& argument) {
  const bool plain = argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`%") == std::string::npos;
  if (plain && !argument.empty()) return argument;
  std::string quoted = "\"";
  for (const char c : argument) {
    if (c == '"' || c == '`' || c == '$') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\\') {
      quoted += "\\\\\\\\";
    } else if (c == '%') {
      quoted += "%%";
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

}  // namespace

std::string AutostartEntryPath() {
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    config = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return (config / "autostart" / "tarnwick.desktop").string();
}

std::string AutostartEntryText(const std::string& executable) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tarnwick\n"
         "Comment=Personal web filter\n"
         "Exec=" +
         ExecArgument(executable) +
         "\n"
         "Icon=tarnwick\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::string SetAutostart(bool on, const std::string& path, const std::string& executable) {
  if (path.empty()) return "no home directory to keep the autostart entry in";
  std::error_code error;
  if (!on) {
    std::filesystem::remove(path, error);
    return error ? path + ": " + error.message() : std::string();
  }
  const std::filesystem::path target(path);
  std::filesystem::create_directories(target.parent_path(), error);
  if (error) return target.parent_path().string() + ": " + error.message();
  // Written beside and renamed, so that a session starting meanwhile never reads half an entry.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << AutostartEntryText(executable);
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, error);
      return temporary + ": " + std::strerror(errno);
    }
  }
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return path + ": could not be written";
  }
  return {};
}

}  // namespace tarnwick
