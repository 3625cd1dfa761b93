#pragma once
// The settings file's layout: the stored properties of the main window in the order they are
// restored and saved, with the value each takes when its key is missing; the list sections; and the
// embedded settings of a fresh installation. Pure data and small helpers, any thread.

#include <string>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"

namespace tarnwick {

inline constexpr char kSettingsFileName[] = "TARNWICK.INI";
inline constexpr char kSettingsSection[] = "Corvane";
inline constexpr char kStatsSection[] = "CorvaneStats";
// The program's home page, also the default redirection target.
inline constexpr char kHomePageAddress[] = "https://tarnwick.example.org/";

enum class TPropertyForm {
  Bool,     // "True" / "False"
  Text,     // blanks trimmed at both ends
  Integer,  // decimal
  Page,     // a tab page's component name
  List,     // a section of its own, see WriteListSection
};

struct TStoredProperty {
  std::string_view Key;  // component name, "_", property name
  TPropertyForm Form;
  std::string_view DesignValue;  // the control's value when the key is missing (lists: empty)
};

// The 53 stored properties in their order.
const std::vector<TStoredProperty>& StoredProperties();

// "m_Options_Offline_Checked" -> "m_Options_Offline" and "Checked".
std::string_view ComponentName(std::string_view key);
std::string_view PropertyName(std::string_view key);

// "Corvane." + key.
std::string ListSectionName(std::string_view key);

// Erases the section, then writes "Count" and "Item0".."Item<Count-1>" when there is at least one
// line; an empty list leaves no section. False when the file cannot be written.
bool WriteListSection(TIniFile& file, std::string_view section, const std::vector<std::string>& lines);
// With a "Count" above 0 replaces `lines` by its items (a missing item reads as empty) and returns
// true; otherwise leaves `lines` as they are and returns false.
bool ReadListSection(const TIniFile& file, std::string_view section, std::vector<std::string>& lines);

// What a first run without a settings file restores: port 8080, both filter types, the common
// banner sizes, the tag filter, popups, the access log and a short list of advertising hosts.
std::string FreshInstallSettingsText();

}  // namespace tarnwick
