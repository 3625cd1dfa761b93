#pragma once
// The translation of a window: every caption, hint and item that the window and its children show
// is a language-file key until TranslateForm replaces it by the key's text; RestoreFormKeys turns
// texts back into keys (the first entry of the file with that text), so that a window can change
// language while it lives. Line edits give only their hint, never what the user typed; list boxes
// and plain text boxes are left alone. User-interface thread only.

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace tarnwick {

class TLanguage;

// One translatable property of a control: its current value and the way to set it.
struct TTextProperty {
  std::function<QString()> Get;
  std::function<void(const QString&)> Set;
  bool IsHint = false;
};

// The window's own title and hint, then each child's properties, in the order the children were made.
std::vector<TTextProperty> TextProperties(QWidget& form);

// Loads `path` (on failure the window keeps its keys), makes it the current language file and
// translates every property whose value is a key of the file.
void TranslateForm(QWidget& form, const std::string& path, TLanguage& language);
// Puts back the key of every property whose value is the text of an entry of `path`.
void RestoreFormKeys(QWidget& form, const std::string& path, const TLanguage& language);
// TranslateForm with the language file of the current language.
void TranslateForm(QWidget& form, TLanguage& language);

QString Translated(const TLanguage& language, const char* key);
QString TranslatedBlock(const TLanguage& language, const char* key);

}  // namespace tarnwick
