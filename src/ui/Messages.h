#pragma once
// TMessages: every message box of the program, in the user's language. Callers translate the text
// (a "#" key with Translated, a "##" block with TranslatedBlock) and pass it; the box's caption is
// translated here. Built on the TUserDialogs seam, so the same calls draw boxes, write to stderr
// when headless, or are recorded under test. User-interface thread only.

#include <QString>

namespace tarnwick {

class TLanguage;
class TUserDialogs;

class TMessages {
 public:
  TMessages(TUserDialogs& dialogs, const TLanguage& language) : Dialogs(dialogs), Language(language) {}

  // Caption "#ErrorMsg", error icon, OK.
  void ShowErrorMsg(const QString& text);
  // Caption "#InformationMsg", information icon, OK.
  void ShowInformationMsg(const QString& text);
  // The list editors' boxes, which carry a caption of their own: exclamation icon, OK.
  void ShowWarningMsg(const QString& caption, const QString& text);
  // Yes/No under `caption` ("#InformationMsg" unless the question has its own); true only for Yes.
  bool AskYesNo(const QString& text);
  bool AskYesNo(const QString& caption, const QString& text);

 private:
  TUserDialogs& Dialogs;
  const TLanguage& Language;
};

}  // namespace tarnwick
