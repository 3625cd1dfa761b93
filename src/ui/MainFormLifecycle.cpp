// Start-up, the main timer, opening and closing the settings window, and the exit.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <filesystem>

#include "engine/AccessLog.h"
#include "engine/FilterProxy.h"
#include "engine/UiHandOver.h"
#include "filters/Filters.h"
#include "language/Language.h"
#include "platform/Exceptions.h"
#include "platform/IniFile.h"
#include "platform/SocketAddress.h"
#include "platform/UserStore.h"
#include "prefs/Prefs.h"
#include "prefs/Statistics.h"
#include "prefs/StoredProperties.h"
#include "text/UrlText.h"
#include "ui/FormStorage.h"
#include "ui/HotKey.h"
#include "ui/MainForm.h"
#include "ui/Messages.h"
#include "ui/Pages.h"
#include "ui/StatsForm.h"
#include "ui/StringHolder.h"
#include "ui/TranslateForm.h"
#include "ui/TrayIcon.h"
#include "ui/UserDialogs.h"

namespace tarnwick {

void TMainForm::FormCreate() {
  // Translated before anything can show it: a port in use brings the window up from here.
  TranslateForm(*this, Language());
  Exiting = false;
  ShutdownUnderWay = false;
  if (Context.UserStore) Password.Load(*Context.UserStore);
  m_AskforaPassword->setChecked(Password.Ask);
  Stats = std::make_unique<TStatsForm>();
  TranslateForm(*Stats, Language());
  connect(Stats.get(), &TStatsForm::Closed, this, [this] {
    m_File_Statistics->setChecked(false);
    tm_Statistics->setChecked(false);
  });
  connect(Stats.get(), &TStatsForm::ResetClicked, this, &TMainForm::StatsResetClick);

  {
    // Every key comes from one reading of the file, however many there are and however recently
    // the file was written (a file that may still change is otherwise read again for each key).
    const TIniFile::TOneReading oneReading(*SettingsFile);
    RestorePlacement(*Stats, *SettingsFile, kStatsSection);
    // A first run has no settings file yet: it starts from the embedded defaults, which are
    // written to the file when the settings are first stored.
    if (std::filesystem::exists(SettingsFilePath())) {
      RestoreSettings(*SettingsFile);
    } else {
      RestoreSettings(TIniFile::InMemory(FreshInstallSettingsText()));
    }
  }
  RestoreListStates();
  Apply();
  ReplaceUnusablePort();
  LoadStats(*PrefsObject, StatStrings->Strings);

  UpdatePluginPages();
  ApplyHidePasswordText();
  if (PrefsObject->Settings()->LogEnabled) OpenLog();
  ProxyPage->UpdateProxyEdits();
  if (Context.UserStore && Context.Registry.IsFirstStart) FirstStart();
  StartServer();
  PrefsObject->RestartNeeded = false;
  UpdateLanguageMenu();
  MainTimer->start();
  UpdateTrayAndHotKey();
  AutoCheckForUpdate();
  StatsSaveTimer->start();
}

bool TMainForm::SaveStatsToFile() {
  SaveStats(*PrefsObject, StatStrings->Strings);
  if (WriteListSection(*SettingsFile, ListSectionName("StatStrings_Strings"), StatStrings->Strings)) return true;
  Messages().ShowErrorMsg(Translated(Language(), "#errStatsWrite").arg(QString::fromStdString(SettingsFilePath())));
  return false;
}

void TMainForm::ReplaceUnusablePort() {
  const std::int32_t port = PrefsObject->Settings()->ListenPort;
  if (port >= 1 && port <= 65535) return;
  // Port 0 would have the system pick a port nobody knows, and a larger number would be cut to 16
  // bits: either way the browser's proxy setting would point nowhere without a word.
  const QString stored = ProxyPage->Port->text();
  ProxyPage->Port->setText(QString::number(kFallbackPort));
  Apply();
  Messages().ShowInformationMsg(Translated(Language(), "#PortReplaced").arg(stored).arg(kFallbackPort));
}

void TMainForm::SwitchLanguage(std::uint8_t code) {
  TLanguage& language = Language();
  const std::uint8_t old = language.Code();
  if (code == kLanguageUnset || code == old || !IsLanguageCode(code)) return;
  language.SetCode(code);
  Context.Registry.Language = code;
  UpdateLanguageMenu();
  const bool wasVisible = isVisible();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  hide();
  const std::string oldFile = language.LanguageFilePath();
  RestoreFormKeys(*this, oldFile, language);
  if (Stats) RestoreFormKeys(*Stats, oldFile, language);
  language.SelectLanguageDirectory();
  QApplication::restoreOverrideCursor();
  TranslateForm(*this, language);
  if (Stats) TranslateForm(*Stats, language);
  // The window comes back as the user left it: a switch from the tray menu leaves it hidden.
  if (wasVisible) show();
  SaveRegistryValues();
}

void TMainForm::StartServer() {
  // Connection threads post a call into this thread's event loop; once the hand-over is closed
  // (by the destructor) no post is made any more.
  QPointer<TMainForm> self(this);
  UiThread = std::make_shared<TUiHandOver>([self] {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self] {
          if (self && self->UiThread) self->UiThread->RunPending();
        },
        Qt::QueuedConnection);
  });
  Server = std::make_unique<TFilterProxy>(
      TProxyContext{PrefsObject, std::make_shared<const TTarnwickFilters>(), UiThread, AccessLog});
  const auto settings = PrefsObject->Settings();
  EffectivePort = settings->ListenPort;
  EffectiveAllowOthers = settings->AllowOthers;
  try {
    Server->Start();
    ReportListening();
  } catch (const ESocketError&) {
    ShowBindError();
  }
}

void TMainForm::ReportListening() {
  if (!Context.Headless) return;
  QStringList addresses;
  for (const std::string& address : Server->ListeningAddresses()) addresses << QString::fromStdString(address);
  const QString text =
      Translated(Language(), "#Listening").arg(addresses.join(QStringLiteral(", "))).arg(Server->ListeningPort());
  std::fprintf(stderr, "tarnwick: %s\n", text.toLocal8Bit().constData());
}

void TMainForm::RestartServer() {
  const auto settings = PrefsObject->Settings();
  Server->Stop();
  Server->Port = settings->ListenPort;
  EffectivePort = settings->ListenPort;
  EffectiveAllowOthers = settings->AllowOthers;
  try {
    Server->Start();
    ReportListening();
  } catch (const std::exception&) {
    // A port in use or not allowed (ESocketError), or no memory for the listener.
    ShowBindError();
  }
}

void TMainForm::ShowBindError() {
  Messages().ShowErrorMsg(TranslatedBlock(Language(), "##errBind"));
  if (Context.Headless) {
    // Nobody could ever choose another port: the program ends, and says why by its status.
    ExitStatus = 1;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    return;
  }
  if (PasswordCheck()) ShowOnProxyPage();
}

void TMainForm::ShowOnProxyPage() {
  TrayIcon->StopClickTimer();
  MainPages->setCurrentWidget(ProxyPage);
  CanClose = false;
  show();
  raise();
  activateWindow();
}

void TMainForm::OpenLog() {
  if (!AccessLog->Open()) ClearLog();
}

bool TMainForm::ClearLog() {
  if (!PasswordCheck()) return false;
  const bool wasEnabled = PrefsObject->Settings()->LogEnabled;
  PublishLogEnabled(false);
  AccessLog->Close();
  if (!AccessLog->Clear()) {
    Messages().ShowErrorMsg(Translated(Language(), "#errLogCreate").arg(QString::fromStdString(AccessLog->Path())));
    m_Log_Enabled->setChecked(false);
    return false;
  }
  if (wasEnabled && AccessLog->Open()) PublishLogEnabled(true);
  return true;
}

void TMainForm::PublishLogEnabled(bool enabled) {
  TPrefsSettings settings = *PrefsObject->Settings();
  settings.LogEnabled = enabled;
  PrefsObject->Publish(std::move(settings));
}

void TMainForm::MainTimerTimer() {
  if (Server && PrefsObject->RestartNeeded.exchange(false)) RestartServer();
  UpdateModeDisplay();
}

void TMainForm::RefreshStats() {
  SaveStats(*PrefsObject, StatStrings->Strings);
  Stats->UpdateDisplay(StatStrings->Strings, PrefsObject->ActiveConnections.load());
  Stats->ShowRecentBlocks(PrefsObject->RecentBlocks.Snapshot());
}

void TMainForm::OpenSettings() {
  TrayIcon->StopClickTimer();
  if (Exiting || isVisible()) return;
  if (!PasswordCheck()) return;
  SaveListStates();
  StoreSettings();
  CanClose = false;
  show();
  raise();
  activateWindow();
  AutoCheckForUpdate();
}

void TMainForm::but_OkClick() {
  if (UpstreamIsSelf()) {
    Messages().ShowErrorMsg(
        Translated(Language(), "#errProxyIsSelf").arg(ProxyPage->ProxyName->text(), ProxyPage->ProxyPort->text()));
    MainPages->setCurrentWidget(ProxyPage);
    return;
  }
  // A window that nothing could bring back stays open: the user must always reach it.
  if (CanBeBroughtBack()) hide();
  SaveListStates();
  StoreSettings();
  // Limits edited in the file since the start come into force with the window's settings.
  PublishLimits(*SettingsFile);
  Apply();
  CanClose = true;
}

bool TMainForm::UpstreamIsSelf() const {
  if (!ProxyPage->UseProxy->isChecked()) return false;
  std::int32_t port = 0;
  if (!ParseInt32(ProxyPage->ProxyPort->text().toStdString(), port) || port <= 0) return false;
  std::int32_t applied = 0;
  ParseInt32(ProxyPage->Port->text().toStdString(), applied);
  const int listening = Server ? Server->ListeningPort() : 0;
  if (port != listening && port != applied) return false;
  try {
    for (const TSocketAddress& address : ResolveHost(ProxyPage->ProxyName->text().toStdString(), port)) {
      if (IsOwnMachineAddress(address)) return true;
    }
  } catch (const ESocketError&) {
    // A name that does not resolve is no loop; the requests will say what is wrong with it.
  }
  return false;
}

void TMainForm::but_CancelClick() {
  if (CanBeBroughtBack()) hide();
  RestoreListStates();
  Apply();
  CanClose = true;
}

void TMainForm::ExitCommand() {
  if (Exiting || Exited) return;
  Exiting = true;
  TrayIcon->SetMenuAttached(false);
  const auto abandon = [this] {
    Exiting = false;
    TrayIcon->SetMenuAttached(true);
  };
  // A session that ends while the password or the question is asked ends the program whatever
  // the answer: the box was closed for it.
  if (!ShutdownUnderWay && !isVisible() && !PasswordCheck() && !ShutdownUnderWay) return abandon();
  if (!ShutdownUnderWay && !m_DisableWarningonExit->isChecked() &&
      !Messages().AskYesNo(QStringLiteral("Tarnwick"), TranslatedBlock(Language(), "##ShutdownMsg")) &&
      !ShutdownUnderWay) {
    return abandon();
  }
  MainTimer->stop();
  TrayIcon->StopClickTimer();
  TrayIcon->SetActive(false);
  HotKey->SetActive(false);
  StatsSaveTimer->stop();
  CanClose = true;
  Exiting = false;
  Exited = true;
  FormClose();
  hide();
  emit ExitRequested();
}

namespace {

// Closes the modal boxes and prompts that are open, innermost first, as if the user had cancelled
// them. Bounded: each round closes one window, and none opens another while closing.
void CloseModalWindows() {
  for (int round = 0; round < 32; ++round) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  }
}

}  // namespace

void TMainForm::EndSession() {
  ShutdownUnderWay = true;
  if (!Exiting && !QApplication::activeModalWidget()) {
    ExitCommand();
    return;
  }
  // A box is open, and the code that opened it waits for its answer: the box is closed now and
  // the exit runs once that code has gone on.
  CloseModalWindows();
  if (SessionEndQueued) return;
  SessionEndQueued = true;
  QTimer::singleShot(0, this, &TMainForm::FinishSession);
}

void TMainForm::FinishSession() {
  SessionEndQueued = false;
  if (QApplication::activeModalWidget()) {
    EndSession();
    return;
  }
  // Inside an exit that asked a question, that exit completes by itself.
  if (!Exiting) ExitCommand();
}

void TMainForm::SaveOnUnplannedEnd() {
  if (Exited) return;
  Exited = true;
  SaveStats(*PrefsObject, StatStrings->Strings);
  SaveListStates();
  StoreSettings();
  if (Stats) StorePlacement(*Stats, *SettingsFile, kStatsSection);
  if (Context.UserStore) {
    tarnwick::SaveRegistryValues(*Context.UserStore, Context.Registry);
    Password.Save(*Context.UserStore);
  }
}

bool TMainForm::CanBeBroughtBack() const {
  // Without a notification area the window stays open unless the user chose to live with the key.
  if (TrayIcon->IsActive()) return Context.TrayAvailable;
  return HotKey->IsGrabbed();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (!CanBeBroughtBack()) {
    // A hidden window could never be brought back: closing it is the exit, with its question.
    ExitCommand();
  } else if (!CanClose) {
    but_CancelClick();
  }
}

void TMainForm::FormClose() {
  SaveStats(*PrefsObject, StatStrings->Strings);
  SaveListStates();
  StoreSettings();
  if (Stats) StorePlacement(*Stats, *SettingsFile, kStatsSection);
  // Written last, on its own: it fails exactly when the settings file cannot be written, and then
  // the program says so and ends with status 1 instead of pretending all was kept.
  if (!SaveStatsToFile()) ExitStatus = 1;
  SaveRegistryValues();
}

void TMainForm::SaveRegistryValues() {
  if (!Context.UserStore) return;
  const bool passwordSaved = Password.Save(*Context.UserStore);
  if (!tarnwick::SaveRegistryValues(*Context.UserStore, Context.Registry) || !passwordSaved) {
    Messages().ShowErrorMsg(Translated(Language(), "#errSaveRegistry"));
  }
}

}  // namespace tarnwick
