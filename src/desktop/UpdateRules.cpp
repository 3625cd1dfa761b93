#include "desktop/UpdateRules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/IniFile.h"

namespace tarnwick {

std::string InstalledVersionText(double version) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", version);
  std::string result(text);
  if (const auto comma = result.find(','); comma != std::string::npos) result[comma] = '.';
  return result;
}

bool IsNewerVersion(std::string_view installed, std::string_view offered) {
  const size_t common = std::min(installed.size(), offered.size());
  for (size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(installed[i]);
    const auto b = static_cast<unsigned char>(offered[i]);
    if (a != b) return a < b;
  }
  return installed.size() < offered.size();
}

TVersionFile ReadVersionFile(const std::string& path) {
  const TIniFile file(path);
  TVersionFile version;
  version.CurVer = file.ReadString("Update", "CurVer");
  version.Product = file.ReadString("Update", "Product");
  version.Size = file.ReadString("Update", "Size");
  version.BrowseURL = file.ReadString("Update", "BrowseURL");
  version.DownloadURL = file.ReadString("Update", "DownloadURL");
  version.Sha256 = file.ReadString("Update", "SHA256");
  for (char& c : version.Sha256) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return version;
}

std::string DownloadFileName(std::string_view url) {
  const auto slash = url.rfind('/');
  if (slash == std::string_view::npos) return {};
  std::string name(url.substr(slash + 1));
  if (name == "." || name == "..") return {};
  return name;
}

std::string VersionFileName(std::string_view translated) {
  std::string name(translated.substr(translated.rfind('/') == std::string_view::npos ? 0 : translated.rfind('/') + 1));
  if (name.empty() || name[0] == '#' || name == "." || name == "..") return "update.ini";
  return name;
}

std::string ProductLine(const TVersionFile& file) {
  return file.Product + "  V" + file.CurVer + "  /  (" + file.Size + ")";
}

TAutoCheck DecideAutoCheck(double lastUpdate, double now) {
  const double days = std::trunc(now) - std::trunc(lastUpdate);
  if (days >= 1) return days > 30 ? TAutoCheck::AdvanceAndCheck : TAutoCheck::Advance;
  if (days <= -1) return TAutoCheck::ResetAndSave;
  return TAutoCheck::Nothing;
}

std::string UpdateBaseUrl() {
  const char* configured = std::getenv("TARNWICK_UPDATE_URL");
  std::string base = (configured && *configured) ? configured : kUpdateBaseUrl;
  if (base.back() != '/') base += '/';
  return base;
}

}  // namespace tarnwick
