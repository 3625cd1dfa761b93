// The access log commands, the tip window and the Help menu's documents and addresses.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
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
#include "prefs/RegistryValues.h"
#include "prefs/StoredProperties.h"
#include "ui/Pages.h"
#include "ui/TricksForm.h"

namespace tarnwick::test {

namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

QString FileUrl(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)).toString(); }

}  // namespace

class LogTipsHelpTest : public QObject {
  Q_OBJECT

 private slots:
  void enablingTheLogCreatesItAndClearingItKeepsTheSwitch() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const std::string log = fixture.Path("TARNWICK.LOG");
    QVERIFY(!std::filesystem::exists(log));
    form.m_Log_Enabled->trigger();
    QVERIFY(form.Log().IsOpen() && fixture.Settings()->LogEnabled && std::filesystem::exists(log));
    form.Log().Append("one\n");
    form.m_Log_Clear->trigger();
    QVERIFY(form.Log().IsOpen() && fixture.Settings()->LogEnabled);
    QCOMPARE(std::filesystem::file_size(log), std::uintmax_t{0});

    form.m_Log_Enabled->trigger();
    QVERIFY(!form.Log().IsOpen() && !fixture.Settings()->LogEnabled);
    std::ofstream(log, std::ios::binary) << "old\n";
    form.m_Log_Clear->trigger();
    QCOMPARE(std::filesystem::file_size(log), std::uintmax_t{0});
    QVERIFY(!form.Log().IsOpen() && !fixture.Settings()->LogEnabled);
  }

  void showCopiesTheWholeLogAndOpensTheCopy() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.m_Log_Show->trigger();
    QVERIFY2(fixture.Launcher().Opened.empty(), "nothing to show while logging is off");

    form.m_Log_Enabled->trigger();
    form.Log().Append("first line\r\n");
    form.Log().Append("a moment ago\r\n");
    form.m_Log_Show->trigger();
    QCOMPARE(FileText(fixture.Path("SHOW.LOG")), std::string("first line\r\na moment ago\r\n"));
    QCOMPARE(fixture.Launcher().Opened, std::vector<QString>{FileUrl(fixture.Path("SHOW.LOG"))});
    QVERIFY(fixture.Launcher().Started.empty());
  }

  void whereTheDesktopOpensNothingTheEditorRunsInATerminal() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    auto& desktop = fixture.Launcher();
    desktop.DesktopOpens = false;
    form.m_Log_Enabled->trigger();
    form.m_Log_Show->trigger();
    QVERIFY2(desktop.Started.empty(), "no editor chosen, nothing started");

    desktop.Variables["EDITOR"] = QStringLiteral("nano -v");
    form.m_Log_Show->trigger();
    QVERIFY2(desktop.Started.empty(), "no terminal emulator, nothing started");

    desktop.Programs[QStringLiteral("x-terminal-emulator")] = 1;
    form.m_Log_Show->trigger();
    desktop.Variables["VISUAL"] = QStringLiteral("gvim");
    form.m_Log_Show->trigger();
    const QString copy = QString::fromStdString(fixture.Path("SHOW.LOG"));
    QCOMPARE(desktop.Started, (std::vector<QString>{"/usr/bin/x-terminal-emulator -e nano -v " + copy,
                                                    "/usr/bin/x-terminal-emulator -e gvim " + copy}));
  }

  void aSecondWriterCannotTakeTheLog() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.m_Log_Enabled->trigger();
    form.Log().Append("ours\n");
    TAccessLog other(form.Log().Path());
    QVERIFY(!other.Open());
    QVERIFY(!other.Clear());
    QCOMPARE(FileText(form.Log().Path()), std::string("ours\n"));
    form.m_Log_Enabled->trigger();
    QVERIFY(other.Open());
  }

  void theTipsWrapAroundAndStopAtTheFirst() {
    TRegistryValues values;
    values.TipsIdx = 3;
    int saves = 0;
    const auto lookup = [](const QString& key) -> std::optional<QString> {
      for (int i = 1; i <= 3; ++i) {
        if (key == QStringLiteral("##Tip %1").arg(i)) return QStringLiteral("tip %1").arg(i);
      }
      return std::nullopt;
    };
    TTricksForm tips(values, lookup, [&] { ++saves; });
    QCOMPARE(tips.TipLabel->text(), QStringLiteral("tip 3"));
    tips.NextClick();
    QCOMPARE(values.TipsIdx, 1);
    QCOMPARE(tips.TipLabel->text(), QStringLiteral("tip 1"));
    tips.PreviousClick();
    QCOMPARE(values.TipsIdx, 1);
    QCOMPARE(tips.TipLabel->text(), QStringLiteral("tip 1"));
    tips.NextClick();
    QCOMPARE(tips.TipLabel->text(), QStringLiteral("tip 2"));
    tips.show();
    tips.ShowTipCheckBox->setChecked(false);
    tips.CancelBtn->click();
    QCOMPARE(saves, 1);
    QVERIFY(!values.ShowTips);
    QCOMPARE(values.TipsIdx, 2);
  }

  void closingTheTipsKeepsTheChoiceForTheNextStart() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Registry().TipsIdx = 2;
    QTimer::singleShot(0, [] {
      auto* tips = qobject_cast<TTricksForm*>(QApplication::activeModalWidget());
      if (!tips) return;
      tips->NextClick();
      tips->ShowTipCheckBox->setChecked(false);
      tips->close();
    });
    form.ShowTips();
    TUserStore store(fixture.UserStorePath());
    QCOMPARE(store.ReadInteger(kRegistryKey, "TipsIdx"), std::optional<std::uint32_t>(3));
    QCOMPARE(store.ReadBool(kRegistryKey, "ShowTips"), std::optional<bool>(false));
    QVERIFY(form.HasTips());
    fixture.TipCount = 0;
    QVERIFY(!form.HasTips());
  }

  void theHelpMenuOpensItsDocumentsAndAddresses() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const std::string program = fixture.Path("program");
    std::filesystem::create_directories(program + "/LANGUAGE/ENG");
    std::filesystem::create_directories(program + "/LANGUAGE/DEU");
    std::ofstream(program + "/LANGUAGE/ENG/help.html") << "<html></html>";
    std::ofstream(program + "/LANGUAGE/DEU/help.html") << "<html></html>";
    form.Registry().Language = 1;
    form.m_Contents->trigger();
    form.Registry().Language = 3;  // no help of its own: the English one
    form.m_Contents->trigger();
    form.m_Tarnwick_on_the_web->trigger();
    form.m_Advertisingtestpage->trigger();
    form.m_Sendfeedback->trigger();
    form.tm_Sendfeedback->trigger();
    form.m_Showlicence->trigger();
    form.OpenSettings();
    QTest::mouseClick(form.ProxyPage->LogoImage, Qt::LeftButton);
    QCOMPARE(fixture.Launcher().Opened,
             (std::vector<QString>{
                 FileUrl(program + "/LANGUAGE/DEU/help.html"), FileUrl(program + "/LANGUAGE/ENG/help.html"),
                 kHomePageAddress, "https://tarnwick.example.org/testpage.html",
                 "https://tarnwick.example.org/feedback.html", "https://tarnwick.example.org/feedback.html",
                 FileUrl(program + "/licence.txt"), kHomePageAddress}));
  }
};

std::unique_ptr<QObject> MakeLogTipsHelpTest() { return std::make_unique<LogTipsHelpTest>(); }

}  // namespace tarnwick::test

#include "LogTipsHelpTest.moc"
