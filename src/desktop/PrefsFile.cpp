#include "desktop/PrefsFile.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHostPref = "user_pref(\"network.proxy.http\",";
constexpr std::string_view kTypePref = "user_pref(\"network.proxy.type\",";

std::string HostLine(std::string_view name, const TPrefsPatch& patch) {
  return "user_pref(\"" + std::string(name) + "\",\"" + patch.Host + "\");";
}

std::string PortLine(std::string_view name, const TPrefsPatch& patch) {
  return "user_pref(\"" + std::string(name) + "\"," + patch.Port + ");";
}

std::string TypeLine(const TPrefsPatch& patch) {
  return std::string("user_pref(\"network.proxy.type\", ") + (patch.Enable ? "1" : "0") + ");";
}

bool Contains(const std::string& line, std::string_view text) { return line.find(text) != std::string::npos; }

// Replaces the first line of the preference `name`, or appends one.
void SetPref(std::vector<std::string>& lines, std::string_view name, const std::string& line) {
  const std::string marker = "user_pref(\"" + std::string(name) + "\",";
  for (auto& existing : lines) {
    if (Contains(existing, marker)) {
      existing = line;
      return;
    }
  }
  lines.push_back(line);
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return !in.bad();
}

// Through a temporary file and a rename, so a failed write never leaves half a preference file.
bool WriteLines(const std::string& path, const std::vector<std::string>& lines, const std::string& lineEnd) {
  std::string text;
  for (const auto& line : lines) text += line + lineEnd;
  const std::string temporary = path + ".tarnwick-new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())).flush()) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  const auto permissions = fs::status(path, error).permissions();
  if (!error) fs::permissions(temporary, permissions, error);
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

// The entries of `directory` whose names match `pattern`, sorted so that runs are repeatable.
std::vector<std::string> Matching(const fs::path& directory, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void PatchBoth(const fs::path& directory, const TPrefsPatch& patch, std::vector<std::string>& patched) {
  for (const char* name : {"prefs.js", "liprefs.js"}) {
    const std::string path = (directory / name).string();
    if (PatchPrefsFile(path, patch) == TPatchResult::Patched) patched.push_back(path);
  }
}

}  // namespace

std::vector<std::string> PatchPrefsLines(std::vector<std::string> lines, const TPrefsPatch& patch) {
  size_t i = 0;
  while (i < lines.size() && !Contains(lines[i], kHostPref)) ++i;
  if (i == lines.size()) {
    lines.push_back(HostLine("network.proxy.http", patch));
    lines.push_back(PortLine("network.proxy.http_port", patch));
    lines.push_back(TypeLine(patch));
  } else {
    lines[i] = HostLine("network.proxy.http", patch);
    // A host line at the very end gets its port line after it rather than being left half done.
    if (i + 1 < lines.size()) {
      lines[i + 1] = PortLine("network.proxy.http_port", patch);
    } else {
      lines.push_back(PortLine("network.proxy.http_port", patch));
    }
    if (i + 2 < lines.size() && Contains(lines[i + 2], kTypePref)) {
      lines[i + 2] = TypeLine(patch);
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i + 2), TypeLine(patch));
    }
  }
  if (patch.WithSsl) {
    SetPref(lines, "network.proxy.ssl", HostLine("network.proxy.ssl", patch));
    SetPref(lines, "network.proxy.ssl_port", PortLine("network.proxy.ssl_port", patch));
  }
  return lines;
}

TPatchResult PatchPrefsFile(const std::string& path, const TPrefsPatch& patch) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return TPatchResult::Missing;
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return TPatchResult::Failed;
  return WriteLines(path, PatchPrefsLines(std::move(lines), patch), patch.LineEnd) ? TPatchResult::Patched
                                                                                   : TPatchResult::Failed;
}

std::vector<std::string> ScanProfileRoot(const std::string& pattern, const TPrefsPatch& patch) {
  std::vector<std::string> patched;
  const fs::path full(pattern);
  const fs::path parent = full.has_parent_path() ? full.parent_path() : fs::path(".");
  for (const auto& rootName : Matching(parent, full.filename().string())) {
    const fs::path root = parent / rootName;
    PatchBoth(root, patch, patched);
    std::error_code error;
    if (!fs::is_directory(root, error)) continue;
    for (const auto& entry : Matching(root, "*")) PatchBoth(root / entry, patch, patched);
  }
  return patched;
}

std::vector<std::string> ProfilesFromIni(const std::string& profilesIni) {
  std::vector<std::string> profiles;
  std::error_code error;
  if (!fs::is_regular_file(profilesIni, error)) return profiles;
  const TIniFile file(profilesIni);
  const fs::path base = fs::path(profilesIni).parent_path();
  for (const auto& section : file.SectionNames()) {
    if (section.size() < 7 || section.compare(0, 7, "Profile") != 0) continue;
    const std::string path = file.ReadString(section, "Path");
    if (path.empty()) continue;
    const bool relative = file.ReadString(section, "IsRelative", "1") == "1" || fs::path(path).is_relative();
    profiles.push_back(relative ? (base / path).string() : path);
  }
  return profiles;
}

std::vector<std::string> MozillaProfileIniFiles(const std::string& home, const std::string& configHome) {
  const fs::path h(home);
  const fs::path c(configHome);
  return {
      (h / ".mozilla/firefox/profiles.ini").string(),  // Firefox and Firefox ESR
      (c / "mozilla/firefox/profiles.ini").string(),   // Firefox in the XDG layout
      (h / "snap/firefox/common/.mozilla/firefox/profiles.ini").string(),
      (h / ".librewolf/profiles.ini").string(),
      (c / "librewolf/librewolf/profiles.ini").string(),
      (h / ".mozilla/seamonkey/profiles.ini").string(),
      (h / ".thunderbird/profiles.ini").string(),
  };
}

}  // namespace tarnwick
