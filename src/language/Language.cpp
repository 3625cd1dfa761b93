#include "language/Language.h"

#include "prefs/RegistryValues.h"

namespace tarnwick {

bool IsLanguageCode(int code) { return code >= kLanguageUnset && code <= kLanguageFrench; }

TLanguage::TLanguage(std::string resourceDirectory) : ResourceDirectory(std::move(resourceDirectory)) {
  if (!ResourceDirectory.empty() && ResourceDirectory.back() != '/') ResourceDirectory += '/';
}

void TLanguage::SelectLanguageDirectory() {
  const std::string part = LanguageDirectoryName(LanguageCode);
  if (part.empty()) return;
  Directory = ResourceDirectory + "LANGUAGE/" + part + "/";
}

std::string TLanguage::TranslateText(const std::string& key) const {
  const auto lines = LoadCurrent();
  if (!lines) return key;
  return LookUpText(*lines, key).value_or(key);
}

std::string TLanguage::TranslateBlock(const std::string& key) const {
  const auto lines = LoadCurrent();
  if (!lines) return key;
  return LookUpBlock(*lines, key).value_or(key);
}

std::optional<TLanguageLines> TLanguage::Load(const std::string& path) const {
  auto lines = LoadLanguageLines(path);
  if (!lines) Report("Language - file \"" + path + "\" not found !!!");
  return lines;
}

std::optional<TLanguageLines> TLanguage::LoadCurrent() const {
  if (CurrentFile.empty()) {
    Report("Language Filename not defined !!!");
    return std::nullopt;
  }
  return Load(CurrentFile);
}

void TLanguage::Report(const std::string& text) const {
  if (Reporter) Reporter("Error", text);
}

}  // namespace tarnwick
