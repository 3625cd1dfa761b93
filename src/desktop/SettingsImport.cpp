#include "desktop/SettingsImport.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/IniFile.h"

namespace tarnwick {

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool SameText(const std::string& a, const char* b) {
  const std::string_view other(b);
  if (a.size() != other.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(other[i])))
      return false;
  }
  return true;
}

// A 32-bit signed decimal number; `fallback` for anything else.
std::optional<std::int32_t> Number(std::string text) {
  text = Trimmed(text);
  if (text.empty()) return std::nullopt;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (text[0] == '-') value = -value;
  if (value > 2147483647LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t Integer(const TIniFile& file, const char* section, const char* key, std::int32_t fallback) {
  const auto text = file.Read(section, key);
  if (!text) return fallback;
  return Number(*text).value_or(fallback);
}

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// The lines after the section line `header` up to the first blank line; nothing when the file has
// no such section line or it is the last line.
std::optional<std::vector<std::string>> ListSection(const std::vector<std::string>& lines, const char* header) {
  size_t i = 0;
  while (i < lines.size() && !SameText(lines[i], header)) ++i;
  if (i + 1 >= lines.size()) return std::nullopt;
  std::vector<std::string> body;
  for (++i; i < lines.size(); ++i) {
    std::string line = Trimmed(lines[i]);
    if (line.empty()) break;
    body.push_back(std::move(line));
  }
  return body;
}

void ReadLists(const std::string& path, TWebWasherSettings& settings) {
  const auto lines = FileLines(path);
  const auto dimensions = ListSection(lines, "[ImageFilter.DimensionList]");
  if (!dimensions) return;
  for (const auto& line : *dimensions) {
    const auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    const auto width = Number(line.substr(0, comma));
    const auto height = Number(line.substr(comma + 1));
    if (!width || !height) continue;
    settings.Sizes.emplace_back(*width, *height);
  }
  const auto urls = ListSection(lines, "[ImageFilter.URLList]");
  if (!urls) return;
  for (const auto& line : *urls) {
    if (line[0] == '!') {
      settings.BlockEntries.push_back("! " + line.substr(1));
    } else if (line[0] == '/') {
      continue;
    } else if (std::isdigit(static_cast<unsigned char>(line[0]))) {
      settings.RedirEntries.push_back("[" + line + "]");
    } else {
      settings.RedirEntries.push_back(line);
    }
  }
}

}  // namespace

std::optional<std::string> FindWebWasherIni(const TUserStore& store) {
  if (!store.KeyExists(kWebWasherKey)) return std::nullopt;
  std::string path = store.ReadString(kWebWasherKey, "InstallPath").value_or("");
  if (path.empty()) return std::nullopt;
  if (path.back() != '/') path += '/';
  path += "WWASHER.INI";
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return path;
}

TWebWasherSettings ReadWebWasherSettings(const std::string& path) {
  const TIniFile file(path);
  TWebWasherSettings s;
  s.Port = file.ReadString("ProxyEngine", "LocalPort", "8080");
  s.AllowOthers = Integer(file, "ProxyEngine", "AllowOthers", 0) == 1;
  s.ProxyName = file.ReadString("ProxyEngine", "ProxyServer1");
  s.ProxyPort = file.ReadString("ProxyEngine", "ProxyPort1", "80");
  s.UseProxy = Integer(file, "ProxyEngine", "DontUseAnyProxy", 1) == 0;
  const auto flag = [&](const char* key) { return Integer(file, "ImageFilter", key, 1) == 1; };
  s.FltImages = flag("AdImages");
  s.FltWindows = flag("AdPopups");
  s.FltScripts = flag("AdScripts");
  s.FltFrames = flag("AdFrames");
  s.FltForms = flag("AdForms");
  s.FltText = flag("AdLinks");
  s.FltLayers = flag("AdLayers");
  s.FilterByDim = flag("FilterByDimensions");
  s.ReplaceTrans = flag("ReplaceAds");
  s.IgnoreNoDims = flag("IgnoreNoImgDim");
  const auto count = [&](const char* key) { return static_cast<std::int64_t>(Integer(file, "WebWasher", key, 0)); };
  s.FltImagesCnt = count("StatsFilteredImages");
  s.FltWindowsCnt = count("StatsFilteredWindows");
  s.FltScriptsCnt = count("StatsFilteredScripts");
  s.FltFramesCnt = count("StatsFilteredFrames");
  s.FltLayersCnt = count("StatsFilteredLayers");
  s.FltFormsCnt = count("StatsFilteredForms");
  s.ImgCnt = count("StatsImagesReceived");
  s.ConnCnt = count("StatsConnectionsMade");
  s.SentCnt = count("StatsBytesSent");
  s.RecvCnt = count("StatsBytesReceived");
  s.RecvProxyCnt = count("StatsBytesReceivedProxy1");
  ReadLists(path, s);
  return s;
}

TIspSoftware DetectIspSoftware(const TUserStore& store) {
  return {store.KeyExists(kAolKey), store.KeyExists(kTOnlineKey) || store.KeyExists(kTOnlineOtherKey)};
}

}  // namespace tarnwick
