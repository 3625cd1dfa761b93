#pragma once
// ConfigureBrowsers: points the browsers at the local proxy, or switches their proxy use off again
// (keeping our address in their proxy fields). It edits the stores in a fixed order: the browser
// settings kept in the per-user store (global proxy values, per-connection records, the Opera file,
// the Netscape keys and profile files), then the stores a Linux desktop really has (Mozilla-family
// profiles, the GNOME system proxy, KDE's kioslaverc). An absent store is skipped; a store that
// fails ends the run there, the stores before it keeping their change.
//
// Browsers are not told; each reads its settings when it starts next. One thread at a time.

#include <string>
#include <vector>

#include "platform/UserStore.h"

namespace tarnwick {

class TCommandRunner;

// Key prefixes of the other hives in the per-user store; keys of the current user have none.
inline constexpr char kLocalMachineRoot[] = "HKEY_LOCAL_MACHINE\\";
inline constexpr char kUsersRoot[] = "HKEY_USERS\\";

inline constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr char kConnectionsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
inline constexpr char kDialUpAddressesKey[] = "RemoteAccess\\Addresses";
inline constexpr char kNavigatorProxyKey[] = "Software\\Netscape\\Netscape Navigator\\Proxy Information";

struct TBrowserRequest {
  bool Enable = true;
  std::string Host = "localhost";
  std::string Port;
};

struct TBrowserEnvironment {
  TUserStore* Store = nullptr;         // the per-user store; null: its stores are skipped
  std::string WindowsDirectory;        // where OPERA.INI is looked for; empty: skipped
  std::string Home;                    // the user's home: Mozilla profiles; empty: skipped
  std::string ConfigHome;              // $XDG_CONFIG_HOME: kioslaverc and newer profile folders
  TCommandRunner* Commands = nullptr;  // runs gsettings; null: GNOME and the KDE tool test skipped
};

struct TBrowserResult {
  std::vector<std::string> Changed;  // one line per store changed
  std::string FailedStore;           // empty when every store went well
  std::string Error;

  bool Ok() const { return FailedStore.empty(); }
};

TBrowserResult ConfigureBrowsers(const TBrowserRequest& request, const TBrowserEnvironment& environment);

// The environment of this user: home and config directories from HOME and XDG_CONFIG_HOME.
TBrowserEnvironment UserBrowserEnvironment(TUserStore* store, const std::string& windowsDirectory,
                                           TCommandRunner* commands);

}  // namespace tarnwick
