#include "app/OneShotCommands.h"

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include <filesystem>
#include <memory>

#include "app/Autostart.h"
#include "app/Startup.h"
#include "filters/Explain.h"
#include "platform/IniFile.h"
#include "platform/InstanceLock.h"
#include "prefs/BlockListImport.h"
#include "prefs/Prefs.h"
#include "prefs/StoredProperties.h"
#include "ui/MainForm.h"
#include "ui/UserDialogs.h"

namespace tarnwick {

int RunBlockListImportCommand(const std::string& settingsDirectory, const std::string& listFile) {
  std::ifstream in(listFile, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "tarnwick: %s: %s\n", listFile.c_str(), std::strerror(errno));
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::fprintf(stderr, "tarnwick: %s: cannot be read\n", listFile.c_str());
    return 1;
  }

  const std::string lockPath = settingsDirectory + "/" + kInstanceLockFileName;
  // Held while the file is changed, so that a Tarnwick starting meanwhile reads it whole.
  const TInstanceLock lock(lockPath);
  TIniFile settings(settingsDirectory + "/" + kSettingsFileName);
  const TFileImportResult result = ImportIntoSettingsFile(settings, text);
  if (!result.Ok) {
    std::fprintf(stderr, "tarnwick: %s: could not be written\n", settings.Path().c_str());
    return 1;
  }
  std::printf("%d added, %d already present, %d skipped\n", result.Counts.Added, result.Counts.AlreadyPresent,
              result.Counts.Skipped);
  if (!lock.Acquired() && result.Counts.Added > 0) {
    const int running = TInstanceLock::HolderProcessId(lockPath);
    if (running <= 0 || ::kill(running, SIGHUP) != 0) {
      std::fprintf(stderr, "tarnwick: the running Tarnwick could not be told; restart it to use the new list\n");
      return 1;
    }
  }
  return 0;
}

int RunExplainCommand(const std::string& settingsDirectory, const std::string& url, const std::string& referer,
                      const std::string& clientAddress) {
  // The window never shows and starts no server: it only turns the stored settings into the
  // settings object the filters read, exactly as at start-up.
  TMainFormContext context;
  context.SettingsDirectory = settingsDirectory;
  context.Dialogs = MakeConsoleDialogs();
  TMainForm form(std::move(context));
  const std::string path = settingsDirectory + "/" + kSettingsFileName;
  if (std::filesystem::exists(path)) {
    form.RestoreSettings(TIniFile(path));
  } else {
    form.RestoreSettings(TIniFile::InMemory(FreshInstallSettingsText()));
  }
  form.RestoreListStates();
  form.Apply();
  const TExplanation explanation =
      ExplainRequest(*form.Prefs().Settings(), {url, referer, clientAddress.empty() ? "127.0.0.1" : clientAddress});
  std::printf("request: %s\n", url.c_str());
  if (!referer.empty()) std::printf("referer: %s\n", referer.c_str());
  for (const auto& step : explanation.Steps) std::printf("%s\n", step.c_str());
  std::printf("result: %s\n", explanation.Outcome.c_str());
  return 0;
}

int RunAutostartCommand(bool on, const std::string& executable) {
  const std::string path = AutostartEntryPath();
  if (const std::string error = SetAutostart(on, path, executable); !error.empty()) {
    std::fprintf(stderr, "tarnwick: %s\n", error.c_str());
    return 1;
  }
  std::printf(
      on ? "Tarnwick starts with your desktop session (%s)\n" : "Tarnwick no longer starts with your desktop session\n",
      path.c_str());
  return 0;
}

}  // namespace tarnwick
