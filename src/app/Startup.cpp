#include "app/Startup.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "desktop/CommandRunner.h"
#include "language/DetectLanguage.h"
#include "language/Language.h"
#include "platform/IniFile.h"
#include "platform/UserStore.h"
#include "prefs/RegistryValues.h"
#include "prefs/StoredProperties.h"
#include "ui/AboutForm.h"
#include "ui/MainForm.h"
#include "ui/Messages.h"
#include "ui/TranslateForm.h"
#include "ui/UserDialogs.h"

namespace tarnwick {

namespace {

// The splash is read straight from the file, before any window exists: shown unless the key holds
// anything but "False".
bool SplashWanted(const std::string& settingsFile) {
  const auto value = TIniFile(settingsFile).Read(kSettingsSection, "m_Options_Hidesplashscreen_Checked");
  return !value || *value == "False";
}

// The window whose work is saved if the process ends without an exit. Qt ends the process with
// exit() when the connection to the X server breaks (the server was killed, the session ended
// without asking); only a handler registered with atexit still runs then. Process-wide by nature,
// like the handler that reads it, and set only while the window lives.
TMainForm* UnplannedEndWindow = nullptr;

void SaveOnUnplannedEnd() {
  if (!UnplannedEndWindow) return;
  try {
    UnplannedEndWindow->SaveOnUnplannedEnd();
  } catch (...) {
    // The process is ending; an exception here would only turn the exit into an abort.
  }
}

// Arms the handler for the lifetime of one window. Exit handlers run in the reverse order of their
// registration, function-local statics included: the guard is made after start-up, so that the
// statics the saving uses (the key tables of the settings and statistics, first used while the
// settings were read) are still alive when the handler runs.
class TUnplannedEndGuard {
 public:
  explicit TUnplannedEndGuard(TMainForm& form) {
    static const bool registered = std::atexit(&tarnwick::SaveOnUnplannedEnd) == 0;
    if (registered) UnplannedEndWindow = &form;
  }
  ~TUnplannedEndGuard() { UnplannedEndWindow = nullptr; }
  TUnplannedEndGuard(const TUnplannedEndGuard&) = delete;
  TUnplannedEndGuard& operator=(const TUnplannedEndGuard&) = delete;
};

}  // namespace

int RunProgram(const TStartup& startup) {
  TMainFormContext context;
  context.SettingsDirectory = startup.SettingsDirectory;
  context.Dialogs = startup.Headless ? MakeConsoleDialogs() : MakeWindowDialogs();
  context.UserStore = std::make_unique<TUserStore>(startup.SettingsDirectory + "/" + kUserStoreFileName);
  const bool trayAvailable = !startup.Headless && QSystemTrayIcon::isSystemTrayAvailable();
  context.TrayAvailable = trayAvailable;
  context.Headless = startup.Headless;
  context.Commands = std::make_shared<TProcessRunner>();
  auto language = std::make_shared<TLanguage>(startup.DataDirectory);
  context.Language = language;
  const bool registryLoaded = LoadRegistryValues(*context.UserStore, context.Registry, DetectLanguage(), DateTimeNow());
  // A stored value that names no language gives the language of the system, which is saved.
  if (!IsLanguageCode(context.Registry.Language)) context.Registry.Language = DetectLanguage();
  language->SetCode(context.Registry.Language);
  language->SelectLanguageDirectory();
  language->SetLanguageFile(language->LanguageFilePath());
  TUserDialogs& dialogs = *context.Dialogs;
  language->SetProblemReporter([&dialogs](const std::string& caption, const std::string& text) {
    dialogs.ShowMessage(TMessageKind::Error, QString::fromStdString(caption), QString::fromStdString(text));
  });
  if (!registryLoaded) TMessages(dialogs, *language).ShowErrorMsg(Translated(*language, "#errLoadRegistry"));
  context.Headless = startup.Headless;
  context.ResourceDirectory = startup.DataDirectory;

  std::unique_ptr<TAboutForm> splash;
  if (!startup.Headless && SplashWanted(startup.SettingsDirectory + "/" + kSettingsFileName)) {
    splash = std::make_unique<TAboutForm>();
    TranslateForm(*splash, *language);
    splash->setWindowFlag(Qt::SplashScreen);
    splash->show();
    QApplication::processEvents();
  }

  TMainForm form(std::move(context));
  QObject::connect(
      &form, &TMainForm::ExitRequested, qApp, [&form] { QCoreApplication::exit(form.ExitCode()); },
      Qt::QueuedConnection);
  std::unique_ptr<QSocketNotifier> stopNotifier;
  if (startup.StopSignalFd >= 0) {
    stopNotifier = std::make_unique<QSocketNotifier>(startup.StopSignalFd, QSocketNotifier::Read);
    QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &form, [&form, fd = startup.StopSignalFd] {
      bool stop = false;
      bool reload = false;
      char drained[64];
      for (ssize_t got; (got = ::read(fd, drained, sizeof drained)) > 0;) {
        for (ssize_t i = 0; i < got; ++i) (drained[i] == kReloadSignalByte ? reload : stop) = true;
      }
      if (stop) return form.EndSession();
      if (reload) {
        if (const std::string why = form.ReloadSettings(); !why.empty()) {
          std::fprintf(stderr, "tarnwick: settings not reloaded: %s\n", why.c_str());
        }
      }
    });
  }
  // The desktop session's end saves everything without a question, as SIGTERM does.
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager&) { form.EndSession(); });
  form.FormCreate();
  TUnplannedEndGuard unplannedEnd(form);
  if (splash) QTimer::singleShot(1500, splash.get(), &QWidget::close);
  // Where nothing else could ever open the window, it opens now.
  if (!startup.Headless && !form.CanBeBroughtBack() && !form.isVisible()) form.OpenSettings();
  if (!startup.Headless && form.Registry().ShowTips && form.HasTips()) {
    if (splash) splash->close();
    form.ShowTips();
  }
  // A session that ended while the tips were shown has already saved everything.
  if (form.Finished()) return form.ExitCode();
  return QApplication::exec();
}

}  // namespace tarnwick
