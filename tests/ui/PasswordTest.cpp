// The security password: every protected command refused and allowed, the prompt rules, the
// password settings window, and the stored form of the password.

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FormFixture.h"
#include "TestClasses.h"
#include "engine/AccessLog.h"
#include "platform/UserStore.h"
#include "prefs/Prefs.h"
#include "ui/Pages.h"
#include "ui/PasswordForms.h"
#include "ui/SecurityPassword.h"
#include "ui/StatsForm.h"
#include "ui/TrayIcon.h"

namespace tarnwick::test {

namespace {

// A window whose password is "Secret" and asked for; the prompt answers `Typed` and counts.
struct TGuarded {
  TGuarded() : Fixture("[Corvane]\nPort_Text=0\nm_DisableWarningonExit_Checked=True\n") {
    Form().Security().Set(QStringLiteral("Secret"));
    Form().Security().Ask = true;
    Form().m_AskforaPassword->setChecked(true);
    Form().Security().Prompt = [this] {
      ++Prompts;
      return std::optional<QString>(Typed);
    };
  }
  TMainForm& Form() { return Fixture.Form(); }

  TFormFixture Fixture;
  QString Typed = QStringLiteral("wrong");
  int Prompts = 0;
};

// Rejects the modal window that opens next and tells whether one did.
void RejectNextModal(bool& opened) {
  QTimer::singleShot(0, [&opened] {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      opened = true;
      modal->reject();
    }
  });
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What each protected command changes, read after it ran.
struct TCommandEffects {
  bool Visible, Offline, PassThru, ProxyEngineTicked, LogEnabled, DontLogMyself, Masked, Asking, Exited;
  std::int32_t ConnCnt;
  bool LogEmpty;
};

TCommandEffects RunEveryProtectedCommand(TGuarded& guarded) {
  auto& form = guarded.Form();
  form.Prefs().ConnCnt = 5;
  std::ofstream(form.Log().Path(), std::ios::binary) << "line\n";
  QSignalSpy exits(&form, &TMainForm::ExitRequested);
  form.tm_Offline->trigger();
  form.m_Options_Passthru->trigger();
  form.m_Log_Enabled->trigger();
  form.m_Log_DontLogMyself->trigger();
  form.m_HidePasswordText->trigger();
  form.StatsResetClick();
  form.m_AskforaPassword->trigger();
  form.m_Log_Clear->trigger();
  form.tm_Settings->trigger();
  TCommandEffects effects{};
  const auto settings = form.Prefs().Settings();
  effects.Visible = form.isVisible();
  form.hide();
  form.tm_Exit->trigger();
  effects.Offline = settings->Offline;
  effects.PassThru = settings->PassThru;
  effects.ProxyEngineTicked = form.m_ProxyEngine->isChecked();
  effects.LogEnabled = settings->LogEnabled;
  effects.DontLogMyself = settings->DontLogMyself;
  effects.Masked = form.AclPage->ACLPass->echoMode() == QLineEdit::Password;
  effects.Asking = form.Security().Ask;
  effects.Exited = exits.count() == 1;
  effects.ConnCnt = form.Prefs().ConnCnt.load();
  effects.LogEmpty = std::filesystem::file_size(form.Log().Path()) == 0;
  return effects;
}

}  // namespace

class PasswordTest : public QObject {
  Q_OBJECT

 private slots:
  void aWrongPasswordLeavesEveryProtectedCommandWithoutEffect() {
    TGuarded guarded;
    const auto effects = RunEveryProtectedCommand(guarded);
    QCOMPARE(guarded.Prompts, 10);
    QVERIFY(!effects.Visible && !effects.Offline && !effects.PassThru && effects.ProxyEngineTicked);
    QVERIFY(!effects.LogEnabled && !effects.DontLogMyself && !effects.Masked && effects.Asking && !effects.Exited);
    QCOMPARE(effects.ConnCnt, 5);
    QVERIFY(!effects.LogEmpty);

    bool opened = false;
    RejectNextModal(opened);
    guarded.Form().m_SetSecurityPassword->trigger();
    QCoreApplication::processEvents();
    QVERIFY2(!opened, "the password settings stay closed");
    QCOMPARE(guarded.Prompts, 11);

    // The tray's single click is Pass-Through Mode and asks as well.
    guarded.Form().TrayIcon->Activated(QSystemTrayIcon::Trigger);
    QTRY_COMPARE_WITH_TIMEOUT(guarded.Prompts, 12, 10000);
    QVERIFY(!guarded.Form().Prefs().Settings()->PassThru);
  }

  void theRightPasswordInAnyCaseLetsEveryCommandRun() {
    TGuarded guarded;
    guarded.Typed = QStringLiteral("sECRET ");
    const auto effects = RunEveryProtectedCommand(guarded);
    QVERIFY(effects.Visible && effects.Offline && effects.PassThru && !effects.ProxyEngineTicked);
    QVERIFY(effects.LogEnabled && effects.DontLogMyself && effects.Masked && !effects.Asking && effects.Exited);
    QCOMPARE(effects.ConnCnt, 0);
    QVERIFY(effects.LogEmpty);
  }

  void withTheFlagOffNoCommandAsks() {
    TGuarded guarded;
    guarded.Form().Security().Ask = false;
    guarded.Form().tm_Offline->trigger();
    guarded.Form().tm_Settings->trigger();
    QCOMPARE(guarded.Prompts, 0);
    QVERIFY(guarded.Form().Prefs().Settings()->Offline);
    QVERIFY(guarded.Form().isVisible());
  }

  void aSecondCheckWhileThePromptIsOpenIsRefusedAtOnce() {
    TGuarded guarded;
    bool inner = true;
    guarded.Form().Security().Prompt = [&] {
      ++guarded.Prompts;
      inner = guarded.Form().PasswordCheck();
      return std::optional<QString>(QStringLiteral("secret"));
    };
    QVERIFY(guarded.Form().PasswordCheck());
    QCOMPARE(guarded.Prompts, 1);
    QVERIFY(!inner);
    QVERIFY(!guarded.Form().Security().PromptOpen());
  }

  void thePasswordSettingsWindowAcceptsOnlyTwoEqualEntries() {
    TRecordingDialogs dialogs;
    TSecurityPassword password;
    password.HashCost = TSecurityPassword::LightestCost();
    TSetPasswordForm form(password,
                          [&] { dialogs.ShowMessage(TMessageKind::Error, "#ErrorMsg", "#Different Password"); });
    int beeps = 0;
    form.Beep = [&] { ++beeps; };
    form.show();

    form.OkClick();
    form.PasswordEdit->setText(QStringLiteral("alpha"));
    form.OkClick();
    QVERIFY2(dialogs.Messages.empty() && beeps == 0 && form.isVisible(), "empty entries do nothing");

    form.ConfirmEdit->setText(QStringLiteral("beta"));
    form.OkClick();
    QCOMPARE(beeps, 1);
    QCOMPARE(dialogs.Messages, std::vector<QString>{"#ErrorMsg|#Different Password"});
    QVERIFY(form.isVisible() && !password.IsSet());

    form.PasswordEdit->setText(QStringLiteral("MiXed "));
    form.ConfirmEdit->setText(QStringLiteral("mixed"));
    form.OkClick();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(password.Matches(QStringLiteral("MIXED")) && password.Matches(QStringLiteral("  mixed")));
    QVERIFY(!password.Matches(QStringLiteral("mixe")) && !password.Matches(QString()));
  }

  void theStoredPasswordCannotBeReadFromTheStore() {
    TFormFixture fixture;
    fixture.Form().Security().Set(QStringLiteral("Orchard7 "));
    fixture.Form().Security().Ask = true;
    fixture.Form().Security().Prompt = [] { return std::optional<QString>(QStringLiteral("orchard7")); };
    fixture.Dialogs().Answer = true;
    fixture.Form().m_File_Exit->trigger();
    const std::string stored = FileText(fixture.UserStorePath());
    QVERIFY(stored.find("$argon2") != std::string::npos);
    for (const char* plain : {"ORCHARD7", "Orchard7", "orchard7", "T1JDSEFSRDc"}) {
      QVERIFY2(stored.find(plain) == std::string::npos, plain);
    }
    QVERIFY((std::filesystem::status(fixture.UserStorePath()).permissions() & std::filesystem::perms::others_read) ==
            std::filesystem::perms::none);

    TSecurityPassword loaded;
    loaded.Load(TUserStore(fixture.UserStorePath()));
    QVERIFY(loaded.Ask && loaded.Matches(QStringLiteral("orchard7")));
  }

  void askingWithoutAPasswordOpensItsSettingsAndCancellingLeavesItOff() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    bool opened = false;
    RejectNextModal(opened);
    form.m_AskforaPassword->trigger();
    QVERIFY(opened);
    QVERIFY(!form.m_AskforaPassword->isChecked() && !form.Security().Ask);
  }

  void theHeadlessPromptIsRefused() {
    TFormFixture fixture(kTestPort, false);
    TMainFormContext context;
    context.SettingsDirectory = std::filesystem::path(fixture.Path("TARNWICK.INI")).parent_path().string();
    context.Dialogs = std::make_unique<TRecordingDialogs>();
    context.Headless = true;
    context.TrayAvailable = false;
    TMainForm form(std::move(context));
    form.FormCreate();
    form.Security().HashCost = TSecurityPassword::LightestCost();
    form.Security().Set(QStringLiteral("x"));
    form.Security().Ask = true;
    form.tm_Offline->trigger();
    QVERIFY(!form.Prefs().Settings()->Offline);
  }

  void thePromptTakesTheFocusAndEnterAnswers() {
    TPasswordForm prompt;
    prompt.show();
    QVERIFY(QTest::qWaitForWindowActive(&prompt));
    QVERIFY(prompt.FocusTimer->isActive());
    QCOMPARE(prompt.PasswordEdit->echoMode(), QLineEdit::Password);
    QTest::keyClicks(prompt.PasswordEdit, QStringLiteral("abc"));
    QTest::keyClick(prompt.PasswordEdit, Qt::Key_Return);
    QCOMPARE(prompt.result(), int(QDialog::Accepted));
    QCOMPARE(prompt.PasswordEdit->text(), QStringLiteral("abc"));
  }
};

std::unique_ptr<QObject> MakePasswordTest() { return std::make_unique<PasswordTest>(); }

}  // namespace tarnwick::test

#include "PasswordTest.moc"
