// The tray icon's clicks, the mode pictures, Hide Tray Icon with the hot key, and the way the
// program ends: the exit with its warning and password, the session's end and the broken display.

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "FormFixture.h"
#include "TestClasses.h"
#include "prefs/Prefs.h"
#include "ui/HotKey.h"
#include "ui/ModePictures.h"
#include "ui/TrayIcon.h"

namespace tarnwick::test {

namespace {

QImage Picture(const QIcon& icon) { return icon.pixmap(32, 32).toImage(); }

// Applies the mode ticks and runs the timer tick that shows them.
void ShowModes(TMainForm& form, bool offline, bool passThru) {
  form.m_Options_Offline->setChecked(offline);
  form.m_Options_Passthru->setChecked(passThru);
  form.Apply();
  form.MainTimerTimer();
}

}  // namespace

class TrayTest : public QObject {
  Q_OBJECT

 private slots:
  void aClickSwitchesPassThroughOnlyAfterTheDoubleClickTime() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.TrayIcon->Activated(QSystemTrayIcon::Trigger);
    QCOMPARE(form.TrayIcon->ClickTimer->interval(), QApplication::doubleClickInterval());
    QVERIFY2(!fixture.Settings()->PassThru, "a click waits for a possible second one");
    QTRY_VERIFY_WITH_TIMEOUT(fixture.Settings()->PassThru, 10000);
    QVERIFY(form.m_Options_Passthru->isChecked() && form.tm_Passthru->isChecked());
    QVERIFY(!form.m_ProxyEngine->isChecked());
  }

  void aDoubleClickOpensTheSettingsAndNeverSwitches() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.TrayIcon->Activated(QSystemTrayIcon::Trigger);
    form.TrayIcon->Activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(form.isVisible());
    QVERIFY(!form.TrayIcon->ClickPending());
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    QVERIFY(!fixture.Settings()->PassThru);

    // The right button only opens the menu.
    form.TrayIcon->Activated(QSystemTrayIcon::Context);
    QVERIFY(!form.TrayIcon->ClickPending());
  }

  void theTrayMenuHasItsItemsInOrder() {
    TFormFixture fixture;
    QStringList names;
    for (QAction* item : fixture.Form().TrayMenu->actions()) names << (item->isSeparator() ? "-" : item->objectName());
    QCOMPARE(names, QStringList({"tm_Settings", "tm_Statistics", "-", "tm_AboutTarnwick", "tm_Sendfeedback", "-",
                                 "tm_Passthru", "tm_Offline", "-", "tm_Exit"}));
    QCOMPARE(fixture.Form().TrayMenu->defaultAction(), fixture.Form().tm_Settings);
    QCOMPARE(fixture.Form().TrayIcon->Icon->toolTip(), QStringLiteral("Tarnwick  V1.4"));
  }

  void thePicturesFollowTheModeAndOfflineWins() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const struct {
      bool offline, passThru;
      TTrayMode shown;
    } steps[] = {{false, true, TTrayMode::PassThru},
                 {true, true, TTrayMode::Offline},
                 {false, true, TTrayMode::PassThru},
                 {true, false, TTrayMode::Offline},
                 {false, false, TTrayMode::Normal}};
    for (const auto& step : steps) {
      ShowModes(form, step.offline, step.passThru);
      QCOMPARE(form.TrayIcon->DisplayedMode(), step.shown);
      QCOMPARE(Picture(form.TrayIcon->CurrentIcon()), Picture(ModeIcon(step.shown)));
      QCOMPARE(Picture(form.windowIcon()), Picture(ModeIcon(step.shown)));
    }
    QVERIFY(Picture(ModeIcon(TTrayMode::Normal)) != Picture(ModeIcon(TTrayMode::Offline)));
    QVERIFY(Picture(ModeIcon(TTrayMode::Normal)) != Picture(ModeIcon(TTrayMode::PassThru)));
  }

  void theIconMovesOnlyWhileConnectionsAreOpenInNormalMode() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Prefs().ActiveConnections = 1;
    form.MainTimerTimer();
    QVERIFY(form.TrayIcon->IsAnimated());
    const QImage first = Picture(form.TrayIcon->CurrentIcon());
    QTRY_VERIFY_WITH_TIMEOUT(Picture(form.TrayIcon->CurrentIcon()) != first, 5000);

    ShowModes(form, true, false);
    QVERIFY(!form.TrayIcon->IsAnimated());
    ShowModes(form, false, false);
    QVERIFY(form.TrayIcon->IsAnimated());
    form.Prefs().ActiveConnections = 0;
    form.MainTimerTimer();
    QVERIFY(!form.TrayIcon->IsAnimated());
    QCOMPARE(Picture(form.TrayIcon->CurrentIcon()), Picture(ModeIcon(TTrayMode::Normal)));
  }

  void hidingTheIconTakesTheHotKeyInstead() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    QVERIFY(form.TrayIcon->IsActive() && !form.HotKey->IsActive());
    form.m_Options_HideIcon->trigger();
    QVERIFY(!form.TrayIcon->IsActive() && form.HotKey->IsActive());
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#InformationMsg|##Hide Tray Icon"});
    form.m_Options_HideIcon->trigger();
    QVERIFY(form.TrayIcon->IsActive() && !form.HotKey->IsActive());
    QCOMPARE(fixture.Dialogs().Messages.size(), size_t{1});

    // Start-up applies the stored tick the same way.
    TFormFixture hidden("[Corvane]\nPort_Text=0\nm_Options_HideIcon_Checked=True\n");
    QVERIFY(!hidden.Form().TrayIcon->IsActive() && hidden.Form().HotKey->IsActive());
    QVERIFY(hidden.Dialogs().Messages.empty());
  }

  void theHotKeyOpensTheHiddenWindow() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.HotKeyPressed();
    QVERIFY(form.isVisible());
  }

  void theWindowStaysOpenWhereNothingCouldBringItBack() {
    // Offscreen there are no key grabs: with the icon hidden nothing could reopen the window.
    TFormFixture fixture("[Corvane]\nPort_Text=0\nm_Options_HideIcon_Checked=True\n");
    auto& form = fixture.Form();
    QVERIFY(!form.HotKey->IsGrabbed());
    QVERIFY(!form.CanBeBroughtBack());
    form.OpenSettings();
    form.but_Ok->click();
    QVERIFY(form.isVisible());
    form.but_Cancel->click();
    QVERIFY(form.isVisible());

    TFormFixture shown;
    shown.Form().OpenSettings();
    shown.Form().but_Ok->click();
    QVERIFY(!shown.Form().isVisible());
  }

  void theExitAsksThePasswordWhileHiddenAndTakesTheMenuAwayMeanwhile() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Security().Set(QStringLiteral("Secret"));
    form.Security().Ask = true;
    QString typed = QStringLiteral("wrong");
    int prompts = 0;
    form.Security().Prompt = [&] {
      ++prompts;
      return std::optional<QString>(typed);
    };
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    form.tm_Exit->trigger();
    QCOMPARE(prompts, 1);
    QVERIFY(fixture.Dialogs().Questions.empty());
    QVERIFY(form.TrayIcon->MenuAttached());

    typed = QStringLiteral("  secret ");
    bool menuDuringQuestion = true;
    fixture.Dialogs().WhileAsking = [&] { menuDuringQuestion = form.TrayIcon->MenuAttached(); };
    form.tm_Exit->trigger();
    QCOMPARE(prompts, 2);
    QCOMPARE(fixture.Dialogs().Questions, std::vector<QString>{"Tarnwick|##ShutdownMsg"});
    QVERIFY(!menuDuringQuestion);
    QVERIFY2(form.TrayIcon->MenuAttached(), "No keeps the program and its menu");
    QCOMPARE(exits.count(), 0);

    fixture.Dialogs().Answer = true;
    form.tm_Exit->trigger();
    QCOMPARE(exits.count(), 1);
    QVERIFY(!form.TrayIcon->IsActive() && !form.MainTimer->isActive());
  }

  void theSessionsEndDuringTheQuestionEndsTheProgram() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Prefs().ConnCnt = 7;
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    fixture.Dialogs().WhileAsking = [&] { form.EndSession(); };
    form.m_File_Exit->trigger();
    QCOMPARE(exits.count(), 1);
    QVERIFY(fixture.IniText().find("ConnCnt=7") != std::string::npos);
    QTest::qWait(10);
    QCOMPARE(exits.count(), 1);
  }

  void theSessionsEndClosesAnOpenBoxAndThenEnds() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    QSignalSpy exits(&form, &TMainForm::ExitRequested);
    QDialog box;
    box.setModal(true);
    QTimer::singleShot(0, &form, [&] { form.EndSession(); });
    box.exec();
    QTRY_COMPARE_WITH_TIMEOUT(exits.count(), 1, 5000);
    QVERIFY(fixture.Dialogs().Questions.empty());
  }

  void aBrokenDisplaySavesEverythingWithoutWindows() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Prefs().ConnCnt = 11;
    form.SaveOnUnplannedEnd();
    QVERIFY(fixture.IniText().find("ConnCnt=11") != std::string::npos);
    form.Prefs().ConnCnt = 12;
    form.SaveOnUnplannedEnd();
    QVERIFY2(fixture.IniText().find("ConnCnt=11") != std::string::npos, "saved once");
  }
};

std::unique_ptr<QObject> MakeTrayTest() { return std::make_unique<TrayTest>(); }

}  // namespace tarnwick::test

#include "TrayTest.moc"
