#include "language/DetectLanguage.h"

#include <array>
#include <cstdlib>
#include <string>

#include "language/Language.h"

namespace tarnwick {

namespace {

struct TLocaleId {
  std::string_view Locale;  // language_COUNTRY
  std::uint16_t Id;
};

constexpr std::array kLocaleIds{
    TLocaleId{"de_DE", 0x0407}, TLocaleId{"de_CH", 0x0807}, TLocaleId{"de_AT", 0x0C07}, TLocaleId{"it_IT", 0x0410},
    TLocaleId{"it_CH", 0x0810}, TLocaleId{"es_ES", 0x0C0A}, TLocaleId{"es_MX", 0x080A}, TLocaleId{"fr_FR", 0x040C},
    TLocaleId{"fr_BE", 0x080C}, TLocaleId{"fr_CA", 0x0C0C}, TLocaleId{"fr_CH", 0x100C},
};

constexpr std::uint16_t kUsEnglish = 0x0409;

bool InList(std::uint16_t id, std::initializer_list<std::uint16_t> list) {
  for (auto entry : list) {
    if (entry == id) return true;
  }
  return false;
}

}  // namespace

std::uint16_t LanguageIdFromLocale(std::string_view locale) {
  // The encoding (".UTF-8") and the modifier ("@euro") do not change the language.
  const auto end = locale.find_first_of(".@");
  if (end != std::string_view::npos) locale = locale.substr(0, end);
  for (const auto& entry : kLocaleIds) {
    if (entry.Locale == locale) return entry.Id;
  }
  return kUsEnglish;
}

std::uint8_t LanguageCodeFromId(std::uint16_t id) {
  if (InList(id, {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407})) return kLanguageGerman;
  if (InList(id, {0x0410, 0x0810})) return kLanguageItalian;
  // Spanish: primary language 0x0A with sublanguages 1 to 20.
  if ((id & 0x3FF) == 0x0A && (id >> 10) >= 1 && (id >> 10) <= 20) return kLanguageSpanish;
  if (InList(id, {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C})) return kLanguageFrench;
  return kLanguageEnglish;
}

std::uint8_t DetectLanguage(const std::function<const char*(const char*)>& getenv) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value != nullptr && *value != '\0') return LanguageCodeFromId(LanguageIdFromLocale(value));
  }
  return kLanguageEnglish;
}

std::uint8_t DetectLanguage() {
  return DetectLanguage([](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

}  // namespace tarnwick
