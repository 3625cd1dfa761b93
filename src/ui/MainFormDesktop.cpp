// The program's life on the desktop: the tray icon and the hot key, the mode pictures, the
// security password commands, the access log viewer, the tips and the Help menu.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <filesystem>
#include <system_error>

#include "engine/AccessLog.h"
#include "prefs/Prefs.h"
#include "prefs/StoredProperties.h"
#include "ui/AboutForm.h"
#include "ui/DocumentOpener.h"
#include "ui/HotKey.h"
#include "ui/MainForm.h"
#include "ui/Messages.h"
#include "ui/PasswordForms.h"
#include "ui/StatsForm.h"
#include "ui/TranslateForm.h"
#include "ui/TrayIcon.h"
#include "ui/UserDialogs.h"

namespace tarnwick {

void TMainForm::UpdateTrayAndHotKey() {
  // Without windows there is neither a tray nor a keyboard to serve.
  if (Context.Headless) return;
  const bool iconWanted = !m_Options_HideIcon->isChecked();
  TrayIcon->SetActive(iconWanted);
  // Without a notification area the icon shows nowhere, so the key stands in for it there too.
  HotKey->SetActive(!(iconWanted && Context.TrayAvailable));
}

void TMainForm::HideIconClick() {
  m_Options_HideIcon->setChecked(!m_Options_HideIcon->isChecked());
  UpdateTrayAndHotKey();
  if (m_Options_HideIcon->isChecked()) {
    Messages().ShowInformationMsg(TranslatedBlock(Language(), "##Hide Tray Icon"));
  }
}

void TMainForm::HotKeyPressed() {
  if (!isVisible()) OpenSettings();
}

void TMainForm::SetIcons(TTrayMode mode) {
  TrayIcon->SetMode(mode);
  // Every window of the program, the task bar button included, shows the mode.
  QApplication::setWindowIcon(ModeIcon(mode));
}

void TMainForm::UpdateModeDisplay() {
  const auto settings = PrefsObject->Settings();
  const TTrayMode mode = settings->Offline    ? TTrayMode::Offline
                         : settings->PassThru ? TTrayMode::PassThru
                                              : TTrayMode::Normal;
  if (mode != TTrayMode::Normal) {
    if (TrayIcon->DisplayedMode() != mode) {
      if (!m_Options_HideIcon->isChecked() && !Context.Headless) TrayIcon->SetActive(true);
      TrayIcon->SetAnimated(false);
      SetIcons(mode);
    }
    return;
  }
  if (TrayIcon->DisplayedMode() != TTrayMode::Normal) SetIcons(TTrayMode::Normal);
  TrayIcon->SetAnimated(PrefsObject->ActiveConnections.load() > 0);
  // The figures move only in normal mode.
  if (Stats && Stats->isVisible()) RefreshStats();
}

std::optional<QString> TMainForm::PromptForPassword() {
  // Without windows nobody could answer: the command is refused.
  if (Context.Headless) return std::nullopt;
  TPasswordForm prompt;
  TranslateForm(prompt, Language());
  PlaceOverWindowInFront(prompt, this);
  if (prompt.exec() != QDialog::Accepted) return std::nullopt;
  return prompt.PasswordEdit->text();
}

void TMainForm::SetSecurityPasswordClick() {
  if (!PasswordCheck()) return;
  TSetPasswordForm form(Password, [this] { Messages().ShowErrorMsg(Translated(Language(), "#Different Password")); });
  TranslateForm(form, Language());
  PlaceOverWindowInFront(form, this);
  if (form.exec() == QDialog::Accepted) SaveRegistryValues();
}

void TMainForm::AskForPasswordClick() {
  if (!PasswordCheck()) return;
  if (!Password.IsSet()) {
    SetSecurityPasswordClick();
    if (!Password.IsSet()) return;
  }
  m_AskforaPassword->setChecked(!m_AskforaPassword->isChecked());
  Password.Ask = m_AskforaPassword->isChecked();
}

void TMainForm::LogClearClick() { ClearLog(); }

void TMainForm::LogShowClick() {
  if (!AccessLog->IsOpen()) return;
  const std::string copy = Context.SettingsDirectory + "/SHOW.LOG";
  std::error_code error;
  std::filesystem::copy_file(AccessLog->Path(), copy, std::filesystem::copy_options::overwrite_existing, error);
  if (error) return;
  OpenDocument(Launcher(), QString::fromStdString(copy));
}

void TMainForm::ShowTips() {
  TTricksForm tips(Context.Registry, Context.LookupBlock, [this] { SaveRegistryValues(); });
  TranslateForm(tips, Language());
  PlaceOverWindowInFront(tips, this);
  tips.exec();
}

bool TMainForm::HasTips() const {
  return Context.LookupBlock && Context.LookupBlock(QStringLiteral("##Tip 1")).has_value();
}

QString TMainForm::HelpFilePath() const {
  const QDir resources(QString::fromStdString(Context.ResourceDirectory));
  std::string language = LanguageDirectoryName(Context.Registry.Language);
  if (language.empty()) language = "ENG";
  const QString own = resources.filePath(QStringLiteral("LANGUAGE/%1/help.html").arg(QString::fromStdString(language)));
  // A language without its own help page shows the English one.
  return QFile::exists(own) ? own : resources.filePath(QStringLiteral("LANGUAGE/ENG/help.html"));
}

void TMainForm::ContentsClick() { Launcher().OpenUrl(QUrl::fromLocalFile(HelpFilePath())); }

void TMainForm::OnTheWebClick() { OpenAddress(Launcher(), QString::fromLatin1(kHomePageAddress)); }

void TMainForm::TestPageClick() { OpenAddress(Launcher(), QString::fromLatin1(kTestPageAddress)); }

void TMainForm::SendFeedbackClick() { OpenAddress(Launcher(), QString::fromLatin1(kFeedbackAddress)); }

void TMainForm::ShowLicenceClick() {
  OpenDocument(Launcher(),
               QDir(QString::fromStdString(Context.ResourceDirectory)).filePath(QStringLiteral("licence.txt")));
}

}  // namespace tarnwick
