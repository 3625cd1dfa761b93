#pragma once
// TApplication: the program's long-lived objects, created in order at start-up and released in
// reverse order at exit. Lives on the user-interface (main) thread.

#include <QObject>

#include <memory>
#include <string>

#include "engine/AccessLog.h"
#include "engine/FilterProxy.h"
#include "engine/UiHandOver.h"
#include "prefs/Prefs.h"

namespace tarnwick {

class TApplication : public QObject {
  Q_OBJECT

 public:
  explicit TApplication(std::string settingsDirectory);
  ~TApplication() override;

  // Opens the log and starts the server; false (with the reason on stderr) when the port cannot be
  // bound, in which case the server stays idle.
  bool Start();

  int ListeningPort() const { return Proxy ? Proxy->ListeningPort() : 0; }

 private:
  // The settings of a first run, before any settings file exists.
  static TPrefsSettings FreshInstallSettings();

  const std::string SettingsDirectory;
  std::shared_ptr<TCorvanePrefs> Prefs;
  std::shared_ptr<TAccessLog> Log;
  std::shared_ptr<TUiHandOver> UiThread;
  std::unique_ptr<TFilterProxy> Proxy;
};

}  // namespace tarnwick
