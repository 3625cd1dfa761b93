#include "ui/Messages.h"

#include "language/Language.h"
#include "ui/TranslateForm.h"
#include "ui/UserDialogs.h"

namespace tarnwick {

void TMessages::ShowErrorMsg(const QString& text) {
  Dialogs.ShowMessage(TMessageKind::Error, Translated(Language, "#ErrorMsg"), text);
}

void TMessages::ShowInformationMsg(const QString& text) {
  Dialogs.ShowMessage(TMessageKind::Information, Translated(Language, "#InformationMsg"), text);
}

void TMessages::ShowWarningMsg(const QString& caption, const QString& text) {
  Dialogs.ShowMessage(TMessageKind::Warning, caption, text);
}

bool TMessages::AskYesNo(const QString& text) {
  return Dialogs.AskYesNo(Translated(Language, "#InformationMsg"), text);
}

bool TMessages::AskYesNo(const QString& caption, const QString& text) { return Dialogs.AskYesNo(caption, text); }

}  // namespace tarnwick
