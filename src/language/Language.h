#pragma once
// TLanguage: the language the program speaks: its code, the language directory beside the program
// and the language file that every lookup reads. There is no cache: each lookup reads the whole
// file again, so an edited file takes effect at the next lookup. When the file is missing, or no
// file has been named yet, the lookup answers with the key and tells the problem reporter, whose
// message is meant for an error box.
//
// User-interface thread only; the connection threads never translate.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "language/LanguageFile.h"

namespace tarnwick {

// The language codes: 0 and 4 English (0 only ever comes from a stored value), 1 German,
// 2 Italian, 3 Spanish, 5 French.
enum : std::uint8_t {
  kLanguageUnset = 0,
  kLanguageGerman = 1,
  kLanguageItalian = 2,
  kLanguageSpanish = 3,
  kLanguageEnglish = 4,
  kLanguageFrench = 5,
};

inline constexpr char kLanguageFileName[] = "LANGUAGE.TXT";

bool IsLanguageCode(int code);

class TLanguage {
 public:
  // Caption and text of a box that tells of a missing language file.
  using TProblemReporter = std::function<void(const std::string& caption, const std::string& text)>;

  // `resourceDirectory` holds the directory LANGUAGE with one subdirectory per language.
  explicit TLanguage(std::string resourceDirectory);

  std::uint8_t Code() const { return LanguageCode; }
  void SetCode(std::uint8_t code) { LanguageCode = code; }

  // Points the language directory at the code's subdirectory; an unknown code leaves it as it was.
  void SelectLanguageDirectory();
  // With a trailing "/"; empty until a directory has been selected.
  const std::string& LanguageDirectory() const { return Directory; }
  // The language directory's LANGUAGE.TXT.
  std::string LanguageFilePath() const { return Directory + kLanguageFileName; }

  const std::string& CurrentLanguageFile() const { return CurrentFile; }
  void SetLanguageFile(std::string path) { CurrentFile = std::move(path); }

  // The text of `key` in the current file; the key itself when there is none.
  std::string TranslateText(const std::string& key) const;
  // The block of `key` in the current file, each line followed by CR LF; the key itself when
  // there is none.
  std::string TranslateBlock(const std::string& key) const;
  // The lines of `path`; nullopt (and a report) when it cannot be read.
  std::optional<TLanguageLines> Load(const std::string& path) const;

  void SetProblemReporter(TProblemReporter reporter) { Reporter = std::move(reporter); }

 private:
  std::optional<TLanguageLines> LoadCurrent() const;
  void Report(const std::string& text) const;

  std::string ResourceDirectory;
  std::uint8_t LanguageCode = kLanguageEnglish;
  std::string Directory;
  std::string CurrentFile;
  TProblemReporter Reporter;
};

}  // namespace tarnwick
