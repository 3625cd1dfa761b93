#pragma once
// The language a new user gets: the locale's language and country mapped onto the language
// identifiers the program was first described with, and those onto a language code. Plain
// functions; any thread.

#include <cstdint>
#include <functional>
#include <string_view>

namespace tarnwick {

// "de_CH.UTF-8" and the like to an identifier: de_DE 0x0407, de_CH 0x0807, de_AT 0x0C07,
// it_IT 0x0410, it_CH 0x0810, es_ES 0x0C0A, es_MX 0x080A, fr_FR 0x040C, fr_BE 0x080C,
// fr_CA 0x0C0C, fr_CH 0x100C; anything else (C, POSIX, nl_NL, empty) 0x0409.
std::uint16_t LanguageIdFromLocale(std::string_view locale);
// 1 German, 2 Italian, 3 Spanish, 5 French; every other identifier 4 (English).
std::uint8_t LanguageCodeFromId(std::uint16_t id);

// From the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, as read by `getenv`.
std::uint8_t DetectLanguage(const std::function<const char*(const char*)>& getenv);
std::uint8_t DetectLanguage();

}  // namespace tarnwick
