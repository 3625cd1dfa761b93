#include "prefs/StoredProperties.h"

#include <algorithm>

#include "text/UrlText.h"

namespace tarnwick {

const std::vector<TStoredProperty>& StoredProperties() {
  using enum TPropertyForm;
  static const std::vector<TStoredProperty> properties = {
      {"AllowOthers_Checked", Bool, "False"},
      {"Port_Text", Text, ""},
      {"ProxyName_Text", Text, ""},
      {"ProxyPort_Text", Text, ""},
      {"UseProxy_Checked", Bool, "False"},
      {"MainPages_ActivePage", Page, "tab_Proxy"},
      {"Referer_ItemIndex", Integer, "0"},
      {"Popups_ItemIndex", Integer, "0"},
      {"FilterType_ItemIndex", Integer, "-1"},
      {"flt_Forms_Checked", Bool, "False"},
      {"flt_Frames_Checked", Bool, "False"},
      {"flt_Images_Checked", Bool, "False"},
      {"flt_Layers_Checked", Bool, "False"},
      {"flt_Scripts_Checked", Bool, "False"},
      {"flt_Text_Checked", Bool, "False"},
      {"flt_Windows_Checked", Bool, "False"},
      {"DontFilterWhen_ItemIndex", Integer, "-1"},
      {"FilterByDim_Checked", Bool, "False"},
      {"IgnoreNoDims_Checked", Bool, "False"},
      {"ReplaceTrans_Checked", Bool, "False"},
      {"Anims_ItemIndex", Integer, "0"},
      {"NumAnims_Text", Text, ""},
      {"rdt_Block_Checked", Bool, "False"},
      {"rdt_Password_Checked", Bool, "False"},
      {"rdt_Redir_Checked", Bool, "False"},
      {"RedirToText_Text", Text, kHomePageAddress},
      {"m_Options_Offline_Checked", Bool, "False"},
      {"m_Options_Passthru_Checked", Bool, "False"},
      {"tm_Offline_Checked", Bool, "False"},
      {"tm_Passthru_Checked", Bool, "False"},
      {"StatStrings_Strings", List, ""},
      {"m_Log_Enabled_Checked", Bool, "False"},
      {"BlockList_Items", List, ""},
      {"BlockListStates_Strings", List, ""},
      {"RedirList_Items", List, ""},
      {"RedirListStates_Strings", List, ""},
      {"SizeList_Items", List, ""},
      {"SizeListStates_Strings", List, ""},
      {"m_Options_HideIcon_Checked", Bool, "False"},
      {"m_Options_DontUserAgent_Checked", Bool, "False"},
      {"m_Log_DontLogMyself_Checked", Bool, "False"},
      {"ACLList_Items", List, ""},
      {"ACLListStates_Strings", List, ""},
      {"EnableRedir_Checked", Bool, "False"},
      {"m_Options_WordCase_Checked", Bool, "False"},
      {"m_Options_Hidesplashscreen_Checked", Bool, "False"},
      {"m_DisableWarningonExit_Checked", Bool, "False"},
      {"m_AccessControl_Checked", Bool, "True"},
      {"m_AdvertisingFilter_Checked", Bool, "True"},
      {"m_ProxyEngine_Checked", Bool, "True"},
      {"m_RedirectionWordsAnalysis_Checked", Bool, "True"},
      {"PassExpire_Value", Integer, "0"},
      {"m_HidePasswordText_Checked", Bool, "False"},
  };
  return properties;
}

std::string_view ComponentName(std::string_view key) { return key.substr(0, key.rfind('_')); }

std::string_view PropertyName(std::string_view key) {
  const auto underscore = key.rfind('_');
  return underscore == std::string_view::npos ? std::string_view() : key.substr(underscore + 1);
}

std::string ListSectionName(std::string_view key) { return std::string(kSettingsSection) + "." + std::string(key); }

bool WriteListSection(TIniFile& file, std::string_view section, const std::vector<std::string>& lines) {
  if (!file.EraseSection(section)) return false;
  if (lines.empty()) return true;
  TIniFile::TValues values;
  values.reserve(lines.size() + 1);
  values.emplace_back("Count", std::to_string(lines.size()));
  for (size_t i = 0; i < lines.size(); ++i) values.emplace_back("Item" + std::to_string(i), lines[i]);
  return file.WriteSection(section, values);
}

namespace {

// The index N of a key "ItemN" written the way WriteListSection writes it (no sign, no leading
// zero), or -1.
std::int64_t ItemIndex(std::string_view key) {
  constexpr std::string_view kItem = "Item";
  if (key.size() <= kItem.size() || !SameTextIgnoringCase(key.substr(0, kItem.size()), kItem)) return -1;
  const std::string_view digits = key.substr(kItem.size());
  if (digits.size() > 10 || (digits.size() > 1 && digits.front() == '0')) return -1;
  std::int64_t index = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) return -1;
    index = index * 10 + (c - '0');
  }
  return index;
}

}  // namespace

bool ReadListSection(const TIniFile& file, std::string_view section, std::vector<std::string>& lines) {
  const auto values = file.ReadSection(section);
  const std::string* countText = nullptr;
  for (const auto& [name, value] : values) {
    if (SameTextIgnoringCase(name, "Count")) {
      countText = &value;
      break;
    }
  }
  const std::int32_t count = countText ? IntOrZero(*countText) : 0;
  if (count <= 0) return false;
  // One pass over the section, the first of two equal keys winning as in every other read. Items
  // missing at the end are not made up, and a gap is kept only as far as there are lines to fill
  // the list with: a damaged or hand-edited Count of two billion with an "Item1999999999" costs
  // nothing.
  std::vector<std::pair<std::int64_t, const std::string*>> items;
  for (const auto& [name, value] : values) {
    const std::int64_t index = ItemIndex(name);
    if (index >= 0 && index < count) items.emplace_back(index, &value);
  }
  std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  items.erase(std::unique(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
              items.end());
  const bool gapsFit = items.empty() || items.back().first < static_cast<std::int64_t>(values.size());
  lines.clear();
  lines.reserve(gapsFit && !items.empty() ? static_cast<size_t>(items.back().first) + 1 : items.size());
  for (const auto& [index, value] : items) {
    if (gapsFit) lines.resize(static_cast<size_t>(index));  // the missing items before this one, empty
    lines.push_back(*value);
  }
  return true;
}

std::string FreshInstallSettingsText() {
  // The lists are kept in the order the window sorts them (case-insensitively), so that each
  // state line stays with its entry.
  static const std::vector<std::string> blocked = {"/adserver/",
                                                   "/banners/",
                                                   "adnxs.com",
                                                   "adservice.google.",
                                                   "amazon-adsystem.com",
                                                   "doubleclick.net",
                                                   "googleadservices.com",
                                                   "googlesyndication.com",
                                                   "outbrain.com",
                                                   "taboola.com"};
  static const std::vector<std::string> sizes = {"120 x 240", "120 x 600", "125 x 125", "160 x 600",
                                                 "234 x 60",  "300 x 250", "300 x 600", "320 x 50",
                                                 "336 x 280", "468 x 60",  "728 x 90",  "970 x 90"};
  std::string text =
      "[Corvane]\n"
      "AllowOthers_Checked=False\n"
      "Port_Text=8080\n"
      "FilterType_ItemIndex=3\n"
      "DontFilterWhen_ItemIndex=0\n"
      "flt_Forms_Checked=True\n"
      "flt_Frames_Checked=True\n"
      "flt_Images_Checked=True\n"
      "flt_Layers_Checked=True\n"
      "flt_Scripts_Checked=True\n"
      "flt_Text_Checked=True\n"
      "flt_Windows_Checked=True\n"
      "FilterByDim_Checked=True\n"
      "ReplaceTrans_Checked=True\n"
      "Popups_ItemIndex=1\n"
      "m_Log_Enabled_Checked=True\n";
  auto list = [&text](std::string_view key, const std::vector<std::string>& lines) {
    text += "\n[" + ListSectionName(key) + "]\nCount=" + std::to_string(lines.size()) + "\n";
    for (size_t i = 0; i < lines.size(); ++i) text += "Item" + std::to_string(i) + "=" + lines[i] + "\n";
  };
  list("BlockList_Items", blocked);
  list("BlockListStates_Strings", std::vector<std::string>(blocked.size(), "1"));
  list("SizeList_Items", sizes);
  list("SizeListStates_Strings", std::vector<std::string>(sizes.size(), "1"));
  return text;
}

}  // namespace tarnwick
