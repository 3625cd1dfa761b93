// Start-up with a port that cannot be had, the embedded first-run settings, and the exit.

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "FormFixture.h"
#include "TestClasses.h"
#include "engine/FilterProxy.h"
#include "engine/SockStream.h"
#include "platform/IniFile.h"
#include "prefs/StoredProperties.h"
#include "support/Loopback.h"
#include "ui/Pages.h"

namespace tarnwick::test {

class StartExitTest : public QObject {
  Q_OBJECT

 private slots:
  void aTakenPortIsReportedAndTheProxyPageShown() {
    TSockStream taken;
    taken.Listen("", "127.0.0.1", 0, 1);
    const std::string ini = "[Corvane]\nPort_Text=" + std::to_string(taken.LocalPort()) + "\nMainPages_ActivePage=tab_Misc\n";
    TFormFixture fixture(ini.c_str());
    auto& form = fixture.Form();
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#ErrorMsg|##errBind"});
    QVERIFY(form.isVisible());
    QCOMPARE(form.MainPages->currentWidget(), static_cast<QWidget*>(form.ProxyPage));
    QVERIFY(!form.Proxy()->Active());

    // The user picks another port and applies; the next tick starts the server there.
    TSockStream probe;
    probe.Listen("", "127.0.0.1", 0, 1);
    const int port = probe.LocalPort();
    probe.Close();
    form.ProxyPage->Port->setText(QString::number(port));
    fixture.Click(form.but_Ok);
    form.MainTimerTimer();
    QVERIFY(form.Proxy()->Active());
    QCOMPARE(form.Proxy()->ListeningPort(), port);
    QVERIFY(ConnectTo(port).Valid());
  }

  void aFreshInstallationStartsFromTheEmbeddedSettings() {
    TFormFixture fixture(nullptr, false);
    auto& form = fixture.Form();
    form.RestoreSettings(TIniFile::InMemory(FreshInstallSettingsText()));
    form.RestoreListStates();
    form.Apply();
    const auto settings = fixture.Settings();
    QCOMPARE(settings->ListenPort, 8080);
    QVERIFY(!settings->AllowOthers);
    QVERIFY(settings->RequestFilter && settings->TagFilter);
    QCOMPARE(settings->DontFilterWhen, 0);
    QVERIFY(settings->FltImages && settings->FltForms && settings->FltFrames && settings->FltLayers &&
            settings->FltScripts && settings->FltText && settings->FltWindows);
    QVERIFY(settings->FilterByDim && settings->ReplaceTrans && settings->LogEnabled);
    QCOMPARE(settings->Popups, 1);
    QCOMPARE(settings->ImageSizes.size(), size_t{12});
    QCOMPARE(settings->SizeChecked, std::vector<bool>(12, true));
    QCOMPARE(settings->BlockChecked.size(), settings->BlockItems.size());
    QVERIFY(!std::filesystem::exists(fixture.Path("TARNWICK.INI")));
  }

  void exitAsksAndAnswerNoKeepsTheProgramRunning() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    form.m_File_Exit->trigger();
    QCOMPARE(fixture.Dialogs().Questions, std::vector<QString>{"Tarnwick|##ShutdownMsg"});
    QCOMPARE(exits.count(), 0);
    QVERIFY(form.MainTimer->isActive());
    QVERIFY(!form.ExitInProgress());
    QVERIFY2(fixture.IniText().find("StatStrings") == std::string::npos, "nothing was saved");

    fixture.Dialogs().Answer = true;
    form.tm_Exit->trigger();
    QCOMPARE(exits.count(), 1);
    QVERIFY(!form.MainTimer->isActive());
    QVERIFY(fixture.IniText().find("[Corvane.StatStrings_Strings]") != std::string::npos);
  }

  void aRefusedPasswordStopsTheExitOnlyWhileTheWindowIsHidden() {
    TFormFixture fixture("[Corvane]\nPort_Text=0\nm_DisableWarningonExit_Checked=True\n");
    auto& form = fixture.Form();
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    form.PasswordCheck = [] { return false; };
    form.m_File_Exit->trigger();
    QCOMPARE(exits.count(), 0);
    form.show();
    form.m_File_Exit->trigger();
    QCOMPARE(exits.count(), 1);
    QVERIFY2(fixture.Dialogs().Questions.empty(), "the warning is disabled");
  }

  void endingTheSessionNeitherAsksNorWaits() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    form.PasswordCheck = [] { return false; };
    form.EndSession();
    QCOMPARE(exits.count(), 1);
    QVERIFY(fixture.Dialogs().Questions.empty());
    QVERIFY(std::filesystem::exists(fixture.Path("TARNWICK.INI")));
  }

  void withoutANotificationAreaClosingTheWindowIsTheExit() {
    TFormFixture fixture("[Corvane]\nPort_Text=0\n", false);
    // A window of its own, told that there is no tray.
    TMainFormContext context;
    context.SettingsDirectory = std::filesystem::path(fixture.Path("TARNWICK.INI")).parent_path().string();
    auto dialogs = std::make_unique<TRecordingDialogs>();
    auto* recorded = dialogs.get();
    dialogs->Answer = true;
    context.Dialogs = std::move(dialogs);
    context.TrayAvailable = false;
    TMainForm form(std::move(context));
    form.FormCreate();
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    form.OpenSettings();
    form.close();
    QCOMPARE(recorded->Questions, std::vector<QString>{"Tarnwick|##ShutdownMsg"});
    QCOMPARE(exits.count(), 1);
  }
};

std::unique_ptr<QObject> MakeStartExitTest() { return std::make_unique<StartExitTest>(); }

}  // namespace tarnwick::test

#include "StartExitTest.moc"
