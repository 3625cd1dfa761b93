#include "app/Application.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <cstdio>

#include "filters/Filters.h"
#include "platform/Exceptions.h"

namespace tarnwick {

TApplication::TApplication(std::string settingsDirectory)
    : SettingsDirectory(std::move(settingsDirectory)),
      Prefs(std::make_shared<TCorvanePrefs>()),
      Log(std::make_shared<TAccessLog>(SettingsDirectory + "/TARNWICK.LOG")) {
  // Connection threads post a call into this thread's event loop; once the hand-over is closed
  // (before this object goes) no post is made any more.
  QPointer<TApplication> self(this);
  UiThread = std::make_shared<TUiHandOver>([self] {
    QMetaObject::invokeMethod(QCoreApplication::instance(), [self] {
      if (self) self->UiThread->RunPending();
    }, Qt::QueuedConnection);
  });
  TPrefsSettings settings = FreshInstallSettings();
  PrepareFilters(settings);
  Prefs->Publish(std::move(settings));
}

TApplication::~TApplication() {
  UiThread->Close();
  if (Proxy) {
    Proxy->Stop();
    Proxy.reset();
  }
  Log->Close();
}

bool TApplication::Start() {
  if (Prefs->Settings()->LogEnabled && !Log->Open() && !Log->Clear()) {
    std::fprintf(stderr, "tarnwick: cannot open the access log %s\n", Log->Path().c_str());
  }
  Proxy = std::make_unique<TFilterProxy>(TProxyContext{Prefs, std::make_shared<const TTarnwickFilters>(), UiThread, Log});
  try {
    Proxy->Start();
  } catch (const ESocketError& error) {
    std::fprintf(stderr, "tarnwick: cannot listen on port %d: %s\n", Proxy->Port, error.what());
    return false;
  }
  Prefs->RestartNeeded = false;
  return true;
}

TPrefsSettings TApplication::FreshInstallSettings() {
  TPrefsSettings settings;
  settings.ListenPort = 8080;
  settings.AllowOthers = false;
  settings.LogEnabled = true;
  return settings;
}

}  // namespace tarnwick
