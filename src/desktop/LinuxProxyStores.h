#pragma once
// The proxy settings a Linux desktop keeps: Mozilla-family profiles (prefs.js of every profile
// listed in a profiles.ini), the GNOME system proxy (gsettings org.gnome.system.proxy, read by
// Chromium and GNOME programs) and KDE's kioslaverc. Each gets HTTP and HTTPS; switching off sets
// the direct mode and keeps the address. One thread at a time.

#include <string>
#include <vector>

namespace tarnwick {

class TCommandRunner;

class TLinuxProxyStores {
 public:
  enum class TOutcome { Absent, Changed, Failed };

  TLinuxProxyStores(bool enable, std::string host, std::string port, TCommandRunner* commands);

  // The prefs.js files patched; a file that cannot be patched is passed over.
  std::vector<std::string> MozillaProfiles(const std::string& home, const std::string& configHome);
  // Empty when done or when gsettings or its schema is missing (see GnomeChanged); else the error.
  std::string Gnome();
  bool GnomeChanged() const { return GnomeDone; }
  // kioslaverc at `path`, when it exists or a KDE configuration tool is installed.
  TOutcome Kde(const std::string& path);

 private:
  bool Gsettings(const std::vector<std::string>& arguments);

  bool Enable;
  std::string Host;
  std::string Port;
  TCommandRunner* Commands;
  bool GnomeDone = false;
};

}  // namespace tarnwick
