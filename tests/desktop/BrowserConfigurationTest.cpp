#include "desktop/BrowserConfiguration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "desktop/CommandRunner.h"
#include "desktop/ConnectionRecord.h"
#include "desktop/DesktopTestDir.h"

namespace tarnwick {
namespace {

// gsettings as a map of "schema key" to value; records every call.
class TFakeGsettings : public TCommandRunner {
 public:
  bool Available(const std::string& program) const override { return Installed && program == "gsettings"; }
  int Run(const std::vector<std::string>& arguments) override {
    Calls.push_back(arguments);
    if (arguments.size() == 3 && arguments[1] == "list-keys") return Schema ? 0 : 1;
    if (arguments.size() == 5 && arguments[1] == "set") {
      if (FailSets) return 1;
      Values[arguments[2] + " " + arguments[3]] = arguments[4];
      return 0;
    }
    return 1;
  }
  bool Installed = true;
  bool Schema = true;
  bool FailSets = false;
  std::map<std::string, std::string> Values;
  std::vector<std::vector<std::string>> Calls;
};

class BrowserConfigurationTest : public ::testing::Test {
 protected:
  BrowserConfigurationTest() : Store(Dir.Path("TARNWICK.USER")) {
    Env.Store = &Store;
    Env.WindowsDirectory = Dir.Path("windows");
    Env.Home = Dir.Path("home");
    Env.ConfigHome = Dir.Path("home/.config");
    Env.Commands = &Gsettings;
  }
  TBrowserResult Configure(bool enable) { return ConfigureBrowsers({enable, "localhost", "8080"}, Env); }
  bool Changed(const TBrowserResult& result, const std::string& text) {
    return std::any_of(result.Changed.begin(), result.Changed.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }

  test::TTempDir Dir;
  TUserStore Store;
  TFakeGsettings Gsettings;
  TBrowserEnvironment Env;
};

TEST_F(BrowserConfigurationTest, AbsentStoresAreSkippedSilently) {
  Gsettings.Installed = false;
  const auto result = Configure(true);
  EXPECT_TRUE(result.Ok());
  EXPECT_TRUE(result.Changed.empty());
  EXPECT_FALSE(std::filesystem::exists(Dir.Path("TARNWICK.USER")));
  EXPECT_FALSE(std::filesystem::exists(Dir.Path("home/.config/kioslaverc")));
}

TEST_F(BrowserConfigurationTest, InternetSettingsOnThenOffKeepTheAddress) {
  Dir.Write("TARNWICK.USER", std::string("[") + kInternetSettingsKey + "]\n");
  ASSERT_TRUE(Configure(true).Ok());
  EXPECT_EQ(1u, Store.ReadInteger(kInternetSettingsKey, "ProxyEnable"));
  EXPECT_EQ("http=localhost:8080", Store.ReadString(kInternetSettingsKey, "ProxyServer"));
  ASSERT_TRUE(Configure(false).Ok());
  EXPECT_EQ(0u, Store.ReadInteger(kInternetSettingsKey, "ProxyEnable"));
  EXPECT_EQ("http=localhost:8080", Store.ReadString(kInternetSettingsKey, "ProxyServer"));
}

TEST_F(BrowserConfigurationTest, DialUpConnectionGetsARecordRebuiltInTheSameRun) {
  Dir.Write("TARNWICK.USER", std::string("[") + kDialUpAddressesKey + "]\nMy ISP=hex:01\n[" + kConnectionsKey + "]\n");
  ASSERT_TRUE(Configure(true).Ok());
  const auto record = Store.ReadBinary(kConnectionsKey, "My ISP");
  ASSERT_TRUE(record);
  EXPECT_EQ(52u, record->size());
  EXPECT_EQ(3, (*record)[8]);
  const std::string once = Dir.Read("TARNWICK.USER");
  ASSERT_TRUE(Configure(true).Ok());
  EXPECT_EQ(once, Dir.Read("TARNWICK.USER"));
}

TEST_F(BrowserConfigurationTest, NonBinaryRecordStopsTheRunAfterTheStepsBeforeIt) {
  Dir.Write("TARNWICK.USER", std::string("[") + kInternetSettingsKey + "]\n[" + kConnectionsKey +
                                 "]\nBroken=sz:text\n[" + kNavigatorProxyKey + "]\n");
  const auto result = Configure(true);
  EXPECT_FALSE(result.Ok());
  EXPECT_EQ("Connection Broken", result.FailedStore);
  EXPECT_EQ(1u, Store.ReadInteger(kInternetSettingsKey, "ProxyEnable"));
  EXPECT_FALSE(Store.ValueExists(kNavigatorProxyKey, "HTTP_Proxy"));
  EXPECT_TRUE(Gsettings.Calls.empty());
}

TEST_F(BrowserConfigurationTest, OperaAndNavigatorKeys) {
  Dir.Write("windows/OPERA.INI", "[User Prefs]\nx=1\n");
  Dir.Write("TARNWICK.USER", std::string("[") + kNavigatorProxyKey + "]\n");
  ASSERT_TRUE(Configure(true).Ok());
  EXPECT_EQ("[User Prefs]\nx=1\n\n[PROXY]\nUSE HTTP=1\nHTTP SERVER=localhost:8080\n", Dir.Read("windows/OPERA.INI"));
  EXPECT_EQ("localhost", Store.ReadString(kNavigatorProxyKey, "HTTP_Proxy"));
  EXPECT_EQ(8080u, Store.ReadInteger(kNavigatorProxyKey, "HTTP_ProxyPort"));
  EXPECT_EQ(1u, Store.ReadInteger(kNavigatorProxyKey, "Proxy Type"));
  ASSERT_TRUE(Configure(false).Ok());
  EXPECT_EQ(0u, Store.ReadInteger(kNavigatorProxyKey, "Proxy Type"));
}

TEST_F(BrowserConfigurationTest, NavigatorProfilesFollowInstallDirectoryAndUser) {
  const std::string install = Dir.Path("ns/Netscape/Communicator");
  Dir.Write("TARNWICK.USER",
            "[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape Navigator\\4.7 (en)\\Main]\n"
            "Install Directory=sz:/nowhere\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape Navigator\\4.8 (en)\\Main]\n"
            "Install Directory=sz:" +
                install +
                "\n"
                "[Software\\Netscape\\Netscape Navigator\\biff]\nCurrentUser=sz:John Smith\n");
  Dir.Write("ns/Netscape/Users/John_Smith/prefs.js", "a\n");
  Dir.Write("ns/Netscape/Users/info/liprefs.js", "b\n");
  const auto result = Configure(true);
  ASSERT_TRUE(result.Ok());
  EXPECT_NE(std::string::npos,
            Dir.Read("ns/Netscape/Users/John_Smith/prefs.js").find("network.proxy.http\",\"localhost"));
  EXPECT_NE(std::string::npos, Dir.Read("ns/Netscape/Users/info/liprefs.js").find("network.proxy.type\", 1"));
}

TEST_F(BrowserConfigurationTest, Netscape6ProfilesUnderItsDirectory) {
  Dir.Write("TARNWICK.USER",
            "[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape 6\\6.2 (en)\\Main]\n"
            "Install Directory=sz:" +
                Dir.Path("pf/Netscape/Netscape 6") + "\n");
  Dir.Write("pf/Netscape/Users50/default/abc.slt/prefs.js", "x\n");
  Dir.Write("pf/Netscape/Users50/default/prefs.js", "y\n");
  ASSERT_TRUE(Configure(true).Ok());
  EXPECT_EQ("x\n", Dir.Read("pf/Netscape/Users50/default/abc.slt/prefs.js"));  // one level only
  EXPECT_NE(std::string::npos, Dir.Read("pf/Netscape/Users50/default/prefs.js").find("http_port\",8080"));
}

TEST_F(BrowserConfigurationTest, LinuxStoresGetHttpAndHttps) {
  Dir.Write("home/.mozilla/firefox/profiles.ini",
            "[Profile0]\nPath=one\nIsRelative=1\n[Profile1]\nPath=two\nIsRelative=1\n[Profile2]\nPath=fresh\n");
  Dir.Write("home/.mozilla/firefox/one/prefs.js", "user_pref(\"a\", 1);\n");
  Dir.Write("home/.mozilla/firefox/two/prefs.js", "");
  Dir.Write("home/.config/kioslaverc", "[Proxy Settings]\nNoProxyFor=\n");
  const auto on = Configure(true);
  ASSERT_TRUE(on.Ok()) << on.Error;
  EXPECT_TRUE(Changed(on, "one/prefs.js"));
  EXPECT_TRUE(Changed(on, "two/prefs.js"));
  EXPECT_FALSE(Changed(on, "fresh"));
  EXPECT_TRUE(Changed(on, "GNOME"));
  EXPECT_TRUE(Changed(on, "kioslaverc"));
  const std::string one = Dir.Read("home/.mozilla/firefox/one/prefs.js");
  EXPECT_NE(std::string::npos, one.find("user_pref(\"network.proxy.ssl_port\",8080);\n"));
  EXPECT_EQ(std::string::npos, one.find('\r'));
  EXPECT_EQ("'manual'", Gsettings.Values["org.gnome.system.proxy mode"]);
  EXPECT_EQ("'localhost'", Gsettings.Values["org.gnome.system.proxy.https host"]);
  EXPECT_EQ("8080", Gsettings.Values["org.gnome.system.proxy.http port"]);
  EXPECT_EQ(
      "[Proxy Settings]\nNoProxyFor=\nProxyType=1\nhttpProxy=http://localhost 8080\nhttpsProxy=http://localhost 8080\n",
      Dir.Read("home/.config/kioslaverc"));

  ASSERT_TRUE(Configure(false).Ok());
  EXPECT_EQ("'none'", Gsettings.Values["org.gnome.system.proxy mode"]);
  EXPECT_EQ("'localhost'", Gsettings.Values["org.gnome.system.proxy.http host"]);
  EXPECT_NE(std::string::npos,
            Dir.Read("home/.config/kioslaverc").find("ProxyType=0\nhttpProxy=http://localhost 8080\n"));
  EXPECT_NE(std::string::npos, Dir.Read("home/.mozilla/firefox/two/prefs.js").find("network.proxy.type\", 0"));
}

TEST_F(BrowserConfigurationTest, GnomeWithoutSchemaIsSkippedAndAFailingSetStops) {
  Gsettings.Schema = false;
  auto result = Configure(true);
  EXPECT_TRUE(result.Ok());
  EXPECT_FALSE(Changed(result, "GNOME"));
  Gsettings.Schema = true;
  Gsettings.FailSets = true;
  Dir.Write("home/.config/kioslaverc", "");
  result = Configure(true);
  EXPECT_EQ("GNOME", result.FailedStore);
  EXPECT_EQ("", Dir.Read("home/.config/kioslaverc"));
}

TEST(ProcessRunnerTest, RunsFindsAndTimesOut) {
  TProcessRunner runner(2000);
  EXPECT_TRUE(runner.Available("sh"));
  EXPECT_FALSE(runner.Available("no-such-tool-here"));
  EXPECT_EQ(3, runner.Run({"sh", "-c", "exit 3"}));
  EXPECT_EQ(-1, runner.Run({"no-such-tool-here"}));
  EXPECT_EQ(-1, TProcessRunner(50).Run({"sleep", "5"}));
}

}  // namespace
}  // namespace tarnwick
