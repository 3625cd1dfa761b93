#include "desktop/LinuxProxyStores.h"

#include <filesystem>

#include "desktop/CommandRunner.h"
#include "desktop/PrefsFile.h"
#include "platform/IniFile.h"

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

constexpr char kGnomeSchema[] = "org.gnome.system.proxy";
constexpr char kKdeSection[] = "Proxy Settings";

}  // namespace

TLinuxProxyStores::TLinuxProxyStores(bool enable, std::string host, std::string port, TCommandRunner* commands)
    : Enable(enable), Host(std::move(host)), Port(std::move(port)), Commands(commands) {}

std::vector<std::string> TLinuxProxyStores::MozillaProfiles(const std::string& home, const std::string& configHome) {
  // Firefox writes its preferences with LF line ends; keep them so.
  const TPrefsPatch patch{Enable, Host, Port, true, "\n"};
  std::vector<std::string> patched;
  for (const auto& ini : MozillaProfileIniFiles(home, configHome)) {
    for (const auto& profile : ProfilesFromIni(ini)) {
      const std::string path = (fs::path(profile) / "prefs.js").string();
      if (PatchPrefsFile(path, patch) == TPatchResult::Patched) patched.push_back(path);
    }
  }
  return patched;
}

bool TLinuxProxyStores::Gsettings(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"gsettings"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return Commands->Run(command) == 0;
}

std::string TLinuxProxyStores::Gnome() {
  GnomeDone = false;
  if (!Commands || !Commands->Available("gsettings")) return {};
  // Without the schema there is no GNOME proxy to set.
  if (!Gsettings({"list-keys", kGnomeSchema})) return {};
  const std::string schema = kGnomeSchema;
  const std::string host = "'" + Host + "'";
  if (Enable) {
    for (const char* child : {".http", ".https"}) {
      if (!Gsettings({"set", schema + child, "host", host}) || !Gsettings({"set", schema + child, "port", Port})) {
        return "gsettings cannot set " + schema + child;
      }
    }
  }
  if (!Gsettings({"set", schema, "mode", Enable ? "'manual'" : "'none'"}))
    return "gsettings cannot set " + schema + " mode";
  GnomeDone = true;
  return {};
}

TLinuxProxyStores::TOutcome TLinuxProxyStores::Kde(const std::string& path) {
  std::error_code error;
  const bool exists = fs::is_regular_file(path, error);
  const bool kdeTools = Commands && (Commands->Available("kwriteconfig6") || Commands->Available("kwriteconfig5"));
  if (!exists && !kdeTools) return TOutcome::Absent;
  fs::create_directories(fs::path(path).parent_path(), error);
  TIniFile file(path);
  bool ok = file.WriteString(kKdeSection, "ProxyType", Enable ? "1" : "0");
  if (Enable) {
    // KDE's form of a proxy address: scheme and host, a blank, the port.
    const std::string address = "http://" + Host + " " + Port;
    ok = ok && file.WriteString(kKdeSection, "httpProxy", address) &&
         file.WriteString(kKdeSection, "httpsProxy", address);
  }
  return ok ? TOutcome::Changed : TOutcome::Failed;
}

}  // namespace tarnwick
