// The first-start offers (settings import, ISP proxy, browser question) and the browser menu
// commands, on a window with a per-user store and a home directory of its own.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FormFixture.h"
#include "TestClasses.h"
#include "desktop/BrowserConfiguration.h"
#include "desktop/SettingsImport.h"
#include "platform/UserStore.h"
#include "prefs/RegistryValues.h"
#include "prefs/StoredProperties.h"
#include "ui/CheckList.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"

namespace tarnwick::test {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The window's per-user store lives in its settings directory, as TARNWICK.USER; `storeText` is
// written there first.
TFormFixture::TPrepare WithStore(std::string storeText) {
  return [storeText](TMainFormContext& context, const std::string& home) {
    const std::string path = home + "/TARNWICK.USER";
    if (!storeText.empty() && !std::filesystem::exists(path)) WriteFile(path, storeText);
    context.UserStore = std::make_unique<TUserStore>(path);
    context.Registry.IsFirstStart = true;
    LoadRegistryValues(*context.UserStore, context.Registry, 4, DateTimeNow());
  };
}

const char* const kFixedPort = "[Corvane]\nPort_Text=18089\n";

}  // namespace

class DesktopCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // Browser profiles are looked for under HOME: never the real one.
    SavedHome = qgetenv("HOME");
    SavedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", Home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (Home.path() + "/.config").toLocal8Bit());
  }
  void cleanup() {
    qputenv("HOME", SavedHome);
    qputenv("XDG_CONFIG_HOME", SavedConfig);
    std::filesystem::remove_all(Home.path().toStdString());
    std::filesystem::create_directories(Home.path().toStdString());
  }

  void firstStartAsksTheBrowserQuestionOnce() {
    TFormFixture fixture(kTestPort, false, nullptr, WithStore(""));
    fixture.Form().FormCreate();
    QCOMPARE(fixture.Dialogs().Questions,
             std::vector<QString>{"#InformationMsg|##Firststart automatic Browsers Configuration"});
    QVERIFY(fixture.Dialogs().Messages.empty());
    TUserStore store(fixture.Path("TARNWICK.USER"));
    QCOMPARE(store.ReadBool(kRegistryKey, "IsFirstStart"), std::optional<bool>(false));
    fixture.Restart();
    QVERIFY(fixture.Dialogs().Questions.empty());
  }

  void firstStartYesConfiguresTheBrowsers() {
    const std::string profile = Home.path().toStdString() + "/.mozilla/firefox/p1.default";
    WriteFile(Home.path().toStdString() + "/.mozilla/firefox/profiles.ini",
              "[Profile0]\nPath=p1.default\nIsRelative=1\n");
    WriteFile(profile + "/prefs.js", "user_pref(\"browser.startup.page\", 3);\n");
    TFormFixture fixture(kTestPort, false, nullptr, WithStore(""));
    fixture.Dialogs().Answer = true;
    fixture.Form().FormCreate();
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#InformationMsg|##for surfing with Tarnwick ok"});
    const std::string prefs = ReadFile(profile + "/prefs.js");
    QVERIFY(prefs.find("user_pref(\"network.proxy.type\", 1);") != std::string::npos);
    QVERIFY(prefs.find("user_pref(\"network.proxy.ssl\",\"localhost\");") != std::string::npos);
  }

  void webWasherSettingsAreImported() {
    const std::string install = Home.path().toStdString() + "/WebWasher";
    WriteFile(install + "/WWASHER.INI",
              "[ProxyEngine]\nLocalPort=18090\nProxyServer1=up.example\nProxyPort1=3128\nDontUseAnyProxy=0\n"
              "[ImageFilter]\nAdForms=0\n[WebWasher]\nStatsConnectionsMade=77\nStatsBytesSent=-2\n"
              "[ImageFilter.DimensionList]\n468,60\n468,60\nbad line\n88,31\n\n"
              "[ImageFilter.URLList]\n!good.example\n/comment\n192.168.1.5\nads.example\n");
    const std::string store =
        std::string("[") + kWebWasherKey + "]\nInstallPath=sz:" + install + "\n[" + kAolKey + "]\n";
    TFormFixture fixture(kTestPort, false, nullptr, WithStore(store));
    fixture.Dialogs().Decide = [](const QString& text) { return text == "##WebWasher Import"; };
    auto& form = fixture.Form();
    form.FormCreate();
    QCOMPARE(fixture.Dialogs().Questions,
             (std::vector<QString>{"#InformationMsg|##WebWasher Import",
                                   "#InformationMsg|##Firststart automatic Browsers Configuration"}));
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#InformationMsg|##WebWasher Import Done"});
    QCOMPARE(form.ProxyPage->Port->text(), QStringLiteral("18090"));
    QCOMPARE(form.ProxyPage->ProxyName->text(), QStringLiteral("up.example"));
    QVERIFY(form.ProxyPage->UseProxy->isChecked());
    QVERIFY(!form.BlockListPage->flt_Forms->isChecked());
    QVERIFY(form.BlockListPage->flt_Images->isChecked());
    QCOMPARE(form.ImagesPage->SizeList->count(), 2);
    QCOMPARE(form.BlockListPage->BlockList->IndexOfText(QStringLiteral("! good.example")) >= 0, true);
    const int address = form.RedirectPage->RedirList->IndexOfText(QStringLiteral("[192.168.1.5]"));
    QVERIFY(address >= 0);
    QCOMPARE(form.RedirListStates->Strings[static_cast<size_t>(address)],
             std::string("1|2|") + kHomePageAddress + "|Og==");
    QCOMPARE(form.Prefs().ConnCnt.load(), 77);
    QCOMPARE(form.Prefs().SentCnt.load(), std::int64_t{-2});
    // Applied: the engine has the imported settings.
    QCOMPARE(fixture.Settings()->ListenPort, 18090);
    QCOMPARE(fixture.Settings()->ProxyName, std::string("up.example"));
  }

  void ispChoices() {
    const std::string both = std::string("[") + kAolKey + "]\n[" + kTOnlineKey + "]\n";
    for (const auto& [answer, host] : std::vector<std::pair<TAnswer, QString>>{
             {TAnswer::Yes, kAolProxyHost}, {TAnswer::No, kTOnlineProxyHost}, {TAnswer::Cancel, ""}}) {
      TFormFixture fixture(kTestPort, false, nullptr, WithStore(both));
      fixture.Dialogs().ThreeWayAnswer = answer;
      fixture.Form().FormCreate();
      QCOMPARE(fixture.Dialogs().Questions.front(), QStringLiteral("#InformationMsg|##AOL or T-Online Proxy"));
      QCOMPARE(fixture.Form().ProxyPage->ProxyName->text(), host);
      QCOMPARE(fixture.Form().ProxyPage->UseProxy->isChecked(), answer != TAnswer::Cancel);
      QCOMPARE(fixture.Settings()->UseProxy, answer != TAnswer::Cancel);
      if (answer != TAnswer::Cancel) QCOMPARE(fixture.Settings()->ProxyPort, 80);
    }
    TFormFixture onlyTOnline(kTestPort, false, nullptr, WithStore(std::string("[") + kTOnlineOtherKey + "]\n"));
    onlyTOnline.Dialogs().Decide = [](const QString& text) { return text == "##T-Online Proxy"; };
    onlyTOnline.Form().FormCreate();
    QCOMPARE(onlyTOnline.Dialogs().Questions.front(), QStringLiteral("#InformationMsg|##T-Online Proxy"));
    QCOMPARE(onlyTOnline.Form().ProxyPage->ProxyName->text(), QString::fromLatin1(kTOnlineProxyHost));
  }

  void browserMenuCommandsOnAndOff() {
    const std::string profile = Home.path().toStdString() + "/.mozilla/firefox/p1.default";
    WriteFile(Home.path().toStdString() + "/.mozilla/firefox/profiles.ini",
              "[Profile0]\nPath=p1.default\nIsRelative=1\n");
    WriteFile(profile + "/prefs.js", "");
    TFormFixture fixture(kFixedPort, false, nullptr, WithStore(std::string("[") + kInternetSettingsKey + "]\n"));
    auto& form = fixture.Form();
    form.RestoreSettings(TIniFile(fixture.Path("TARNWICK.INI")));
    form.Apply();
    form.m_BrowserWithTarnwick->trigger();
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#InformationMsg|##for surfing with Tarnwick ok"});
    QVERIFY(ReadFile(profile + "/prefs.js").find("user_pref(\"network.proxy.http_port\",18089);") != std::string::npos);
    TUserStore store(fixture.Path("TARNWICK.USER"));
    QCOMPARE(store.ReadString(kInternetSettingsKey, "ProxyServer"), std::optional<std::string>("http=localhost:18089"));
    form.m_BrowseNormal->trigger();
    QCOMPARE(fixture.Dialogs().Messages.back(), QStringLiteral("#InformationMsg|##for normal surfing ok"));
    QVERIFY(ReadFile(profile + "/prefs.js").find("user_pref(\"network.proxy.type\", 0);") != std::string::npos);
    QCOMPARE(store.ReadInteger(kInternetSettingsKey, "ProxyEnable"), std::optional<std::uint32_t>(0));
  }

  void aFailingStoreShowsTheErrorAndNoConfirmation() {
    TFormFixture fixture(kFixedPort, false, nullptr,
                         WithStore(std::string("[") + kConnectionsKey + "]\nBad=sz:text\n"));
    fixture.Form().m_BrowserWithTarnwick->trigger();
    QCOMPARE(fixture.Dialogs().Messages.size(), size_t{1});
    QVERIFY(fixture.Dialogs().Messages[0].startsWith("#ErrorMsg|##errBrowserConfig"));
    QVERIFY(fixture.Dialogs().Messages[0].contains("Connection Bad"));
  }

 private:
  QTemporaryDir Home;
  QByteArray SavedHome;
  QByteArray SavedConfig;
};

std::unique_ptr<QObject> MakeDesktopCommandsTest() { return std::make_unique<DesktopCommandsTest>(); }

}  // namespace tarnwick::test

#include "DesktopCommandsTest.moc"
