#pragma once
// The proxy preferences in the "prefs.js" files of Mozilla-family profiles: patching one file, and
// finding the files, both in the old profile directory layout and through profiles.ini.
// Any thread; each call reads and writes the files it names.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

struct TPrefsPatch {
  bool Enable = true;
  std::string Host;
  std::string Port;
  // Also point HTTPS at the proxy (network.proxy.ssl and ssl_port), for today's browsers.
  bool WithSsl = false;
  // How lines are joined when the file is saved.
  std::string LineEnd = "\r\n";
};

enum class TPatchResult { Missing, Patched, Failed };

// Writes the host, port and type lines: over the first network.proxy.http line and the line after
// it (the type line after those is replaced when it is one, else inserted), or at the end of a file
// without one. A file that does not exist is left alone.
TPatchResult PatchPrefsFile(const std::string& path, const TPrefsPatch& patch);
// The same on lines in memory: the file's lines after the patch.
std::vector<std::string> PatchPrefsLines(std::vector<std::string> lines, const TPrefsPatch& patch);

// Patches prefs.js and liprefs.js in every directory matching `pattern` (a path whose last element
// may hold "*" and "?") and in each entry below such a directory. Returns the files patched.
std::vector<std::string> ScanProfileRoot(const std::string& pattern, const TPrefsPatch& patch);

// The profile directories listed in a profiles.ini ([Profile*] sections, Path relative to the
// file's directory when IsRelative is 1 or the path is not absolute).
std::vector<std::string> ProfilesFromIni(const std::string& profilesIni);

// Where Mozilla-family programs keep their profiles.ini under a home directory.
std::vector<std::string> MozillaProfileIniFiles(const std::string& home, const std::string& configHome);

}  // namespace tarnwick
