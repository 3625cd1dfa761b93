#include "desktop/BrowserConfiguration.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "desktop/ConnectionRecord.h"
#include "desktop/LinuxProxyStores.h"
#include "desktop/PrefsFile.h"
#include "platform/IniFile.h"

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

constexpr char kNavigatorKey[] = "Software\\Netscape\\Netscape Navigator";
constexpr char kNetscape6Key[] = "Software\\Netscape\\Netscape 6";

// Thrown by a store that fails; ends the run at that store.
struct TStoreFailure {
  std::string Store;
  std::string Error;
};

class TConfigurator {
 public:
  TConfigurator(const TBrowserRequest& request, const TBrowserEnvironment& environment, TBrowserResult& result)
      : Request(request), Env(environment), Result(result) {}

  void Run() {
    if (Env.Store) {
      InternetSettings();
      DialUpConnections();
      ConnectionRecords();
    }
    Opera();
    if (Env.Store) {
      NavigatorKeys();
      NavigatorProfiles();
      Netscape6Profiles();
    }
    LinuxStores();
  }

 private:
  TUserStore& Store() { return *Env.Store; }
  TPrefsPatch PartPatch() const { return {Request.Enable, Request.Host, Request.Port, false, "\r\n"}; }

  void Fail(const std::string& store, const std::string& error) { throw TStoreFailure{store, error}; }
  void Write(bool ok, const std::string& store, const std::string& what) {
    if (!ok) Fail(store, "cannot write " + what + " in " + Store().Path());
  }

  void InternetSettings() {
    const std::string store = "Internet Settings";
    if (!Store().KeyExists(kInternetSettingsKey)) return;
    Write(Store().WriteInteger(kInternetSettingsKey, "ProxyEnable", Request.Enable ? 1 : 0), store, "ProxyEnable");
    std::string old;
    if (Store().ValueExists(kInternetSettingsKey, "ProxyServer")) {
      const auto value = Store().ReadString(kInternetSettingsKey, "ProxyServer");
      if (!value) Fail(store, "ProxyServer is not a text value");
      old = *value;
    }
    Write(Store().WriteString(kInternetSettingsKey, "ProxyServer", MergeHttpProxy(old, Request.Host, Request.Port)),
          store, "ProxyServer");
    Result.Changed.push_back(store + " (" + std::string(kInternetSettingsKey) + ")");
  }

  void DialUpConnections() {
    if (!Store().KeyExists(kDialUpAddressesKey) || !Store().KeyExists(kConnectionsKey)) return;
    const auto existing = Store().ValueNames(kConnectionsKey);
    for (const auto& name : Store().ValueNames(kDialUpAddressesKey)) {
      if (std::find(existing.begin(), existing.end(), name) != existing.end()) continue;
      Write(Store().WriteBinary(kConnectionsKey, name, NewConnectionRecord()), "Connections", name);
    }
  }

  void ConnectionRecords() {
    if (!Store().KeyExists(kConnectionsKey)) return;
    for (const auto& name : Store().ValueNames(kConnectionsKey)) {
      const std::string store = "Connection " + name;
      const auto record = Store().ReadBinary(kConnectionsKey, name);
      if (!record) Fail(store, "the value is not binary data");
      if (record->size() > kConnectionRecordLimit) Fail(store, "the value is larger than 4096 bytes");
      // A damaged record is left as it is rather than rebuilt from guesses.
      const auto rebuilt = RebuildConnectionRecord(*record, Request.Enable, Request.Host, Request.Port);
      if (!rebuilt) continue;
      Write(Store().WriteBinary(kConnectionsKey, name, *rebuilt), store, name);
      Result.Changed.push_back(store);
    }
  }

  void Opera() {
    if (Env.WindowsDirectory.empty()) return;
    const std::string path = (fs::path(Env.WindowsDirectory) / "OPERA.INI").string();
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return;
    TIniFile file(path);
    if (!file.WriteString("PROXY", "USE HTTP", Request.Enable ? "1" : "0") ||
        !file.WriteString("PROXY", "HTTP SERVER", Request.Host + ":" + Request.Port)) {
      Fail("Opera", "cannot write " + path);
    }
    Result.Changed.push_back("Opera: " + path);
  }

  void NavigatorKeys() {
    const std::string store = "Netscape Navigator";
    if (!Store().KeyExists(kNavigatorProxyKey)) return;
    Write(Store().WriteString(kNavigatorProxyKey, "HTTP_Proxy", Request.Host), store, "HTTP_Proxy");
    Write(Store().WriteInteger(kNavigatorProxyKey, "HTTP_ProxyPort",
                               static_cast<std::uint32_t>(std::atoi(Request.Port.c_str()))),
          store, "HTTP_ProxyPort");
    Write(Store().WriteInteger(kNavigatorProxyKey, "Proxy Type", Request.Enable ? 1 : 0), store, "Proxy Type");
    Result.Changed.push_back(store + " (" + std::string(kNavigatorProxyKey) + ")");
  }

  // "Install Directory" of key\K\Main for every subkey K of the local machine's `key`; the last wins.
  std::string LastInstallDirectory(const std::string& key) {
    const std::string machineKey = kLocalMachineRoot + key;
    std::string directory;
    for (const auto& sub : Store().SubKeyNames(machineKey)) {
      if (auto value = Store().ReadString(machineKey + "\\" + sub + "\\Main", "Install Directory")) directory = *value;
    }
    return directory;
  }

  std::string NavigatorDirectory() {
    if (auto value = Store().ReadString(std::string(kNavigatorKey) + "\\Main", "Install Directory");
        value && !value->empty()) {
      return *value;
    }
    return LastInstallDirectory(kNavigatorKey);
  }

  std::string NavigatorUser() {
    for (const std::string& key :
         {std::string(kNavigatorKey) + "\\biff", kLocalMachineRoot + std::string(kNavigatorKey) + "\\Users",
          kUsersRoot + std::string(".Default\\") + kNavigatorKey + "\\biff"}) {
      if (auto value = Store().ReadString(key, "CurrentUser")) return *value;
    }
    return {};
  }

  void Patch(const std::string& path) {
    if (PatchPrefsFile(path, PartPatch()) == TPatchResult::Patched) Result.Changed.push_back("prefs file: " + path);
  }

  void NavigatorProfiles() {
    std::string directory = NavigatorDirectory();
    if (directory.empty()) return;
    std::string upper = directory;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (const auto at = upper.find("COMMUNICATOR"); at != std::string::npos) directory.erase(at, 12);
    Patch(directory + "/Users/info/liprefs.js");
    Patch(directory + "/Users/info/prefs.js");
    std::string user = NavigatorUser();
    std::replace(user.begin(), user.end(), ' ', '_');
    Patch(directory + "/Users/" + user + "/liprefs.js");
    Patch(directory + "/Users/" + user + "/prefs.js");
  }

  void Scan(const std::string& pattern) {
    for (const auto& path : ScanProfileRoot(pattern, PartPatch())) Result.Changed.push_back("prefs file: " + path);
  }

  void Netscape6Profiles() {
    const std::string directory = LastInstallDirectory(kNetscape6Key);
    if (directory.empty()) return;
    // The root of the installation's file system takes the place of its drive.
    Scan("/Users*");
    if (const auto at = directory.find("/Netscape/"); at != std::string::npos) {
      Scan(directory.substr(0, at + 10) + "Users*");
    }
    const std::string versionKey = std::string(kLocalMachineRoot) + "Software\\Microsoft\\Windows\\CurrentVersion";
    std::string programFiles = Store().ReadString(versionKey, "ProgramFilesDir").value_or("");
    if (programFiles.empty()) programFiles = Store().ReadString(versionKey, "ProgramFilesPath").value_or("");
    if (programFiles.empty()) return;
    const fs::path netscape = fs::path(programFiles) / "Netscape";
    std::error_code error;
    if (fs::is_directory(netscape, error)) Scan((netscape / "Users*").string());
  }

  void LinuxStores() {
    TLinuxProxyStores stores(Request.Enable, Request.Host, Request.Port, Env.Commands);
    if (!Env.Home.empty()) {
      for (const auto& path : stores.MozillaProfiles(Env.Home, Env.ConfigHome))
        Result.Changed.push_back("prefs file: " + path);
    }
    if (Env.Commands) {
      if (const auto error = stores.Gnome(); !error.empty()) Fail("GNOME", error);
      if (stores.GnomeChanged()) Result.Changed.push_back("GNOME system proxy (gsettings org.gnome.system.proxy)");
    }
    if (!Env.ConfigHome.empty()) {
      const std::string path = (fs::path(Env.ConfigHome) / "kioslaverc").string();
      const auto outcome = stores.Kde(path);
      if (outcome == TLinuxProxyStores::TOutcome::Failed) Fail("KDE", "cannot write " + path);
      if (outcome == TLinuxProxyStores::TOutcome::Changed) Result.Changed.push_back("KDE: " + path);
    }
  }

  const TBrowserRequest& Request;
  const TBrowserEnvironment& Env;
  TBrowserResult& Result;
};

}  // namespace

TBrowserResult ConfigureBrowsers(const TBrowserRequest& request, const TBrowserEnvironment& environment) {
  TBrowserResult result;
  try {
    TConfigurator(request, environment, result).Run();
  } catch (const TStoreFailure& failure) {
    result.FailedStore = failure.Store;
    result.Error = failure.Error;
  }
  return result;
}

TBrowserEnvironment UserBrowserEnvironment(TUserStore* store, const std::string& windowsDirectory,
                                           TCommandRunner* commands) {
  TBrowserEnvironment environment;
  environment.Store = store;
  environment.WindowsDirectory = windowsDirectory;
  environment.Commands = commands;
  if (const char* home = std::getenv("HOME"); home && *home) environment.Home = home;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    environment.ConfigHome = config;
  } else if (!environment.Home.empty()) {
    environment.ConfigHome = environment.Home + "/.config";
  }
  return environment;
}

}  // namespace tarnwick
