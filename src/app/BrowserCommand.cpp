#include "app/BrowserCommand.h"

#include <cstdio>
#include <filesystem>

#include "app/Startup.h"
#include "desktop/BrowserConfiguration.h"
#include "desktop/CommandRunner.h"
#include "platform/IniFile.h"
#include "platform/UserStore.h"
#include "prefs/StoredProperties.h"
#include "text/UrlText.h"

namespace tarnwick {

namespace {

// The listening port the settings give; a fresh installation listens on 8080. 0 when the stored
// text is not a port.
int ListenPort(const std::string& settingsFile) {
  if (!std::filesystem::exists(settingsFile)) return 8080;
  const auto text = TIniFile(settingsFile).ReadString(kSettingsSection, "Port_Text");
  const int port = IntOrZero(text);
  return port > 0 && port < 65536 ? port : 0;
}

}  // namespace

int RunBrowserCommand(const std::string& settingsDirectory, bool enable) {
  const int port = ListenPort(settingsDirectory + "/" + kSettingsFileName);
  if (port == 0) {
    std::fprintf(stderr, "tarnwick: the settings hold no valid listening port\n");
    return 1;
  }
  TUserStore store(settingsDirectory + "/" + kUserStoreFileName);
  TProcessRunner commands;
  const auto result = ConfigureBrowsers({enable, "localhost", std::to_string(port)},
                                        UserBrowserEnvironment(&store, settingsDirectory, &commands));
  for (const auto& line : result.Changed) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  if (!result.Ok()) {
    std::fprintf(stderr, "tarnwick: %s: %s\n", result.FailedStore.c_str(), result.Error.c_str());
    return 1;
  }
  if (result.Changed.empty()) std::fprintf(stderr, "tarnwick: no browser settings were found to change\n");
  return 0;
}

}  // namespace tarnwick
