// Apply: what each control becomes in the published settings, and when the server restarts.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <fstream>

#include "FormFixture.h"
#include "TestClasses.h"
#include "engine/FilterProxy.h"
#include "support/Loopback.h"
#include "ui/CheckList.h"
#include "ui/Pages.h"
#include "ui/RadioGroup.h"
#include "ui/StringHolder.h"

namespace tarnwick::test {

namespace {

// A port nobody listens on right now.
int FreePort() {
  TSockStream probe;
  probe.Listen("", "127.0.0.1", 0, 1);
  return probe.LocalPort();
}

}  // namespace

class ApplyTest : public QObject {
  Q_OBJECT

 private slots:
  void filterTypeSetsTheTwoFilters() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const std::vector<std::pair<int, std::pair<bool, bool>>> cases = {
        {-1, {false, false}}, {0, {false, false}}, {1, {true, false}}, {2, {false, true}}, {3, {true, true}}};
    for (const auto& [index, expected] : cases) {
      form.BlockListPage->FilterType->SetItemIndex(index);
      form.Apply();
      QCOMPARE(fixture.Settings()->RequestFilter, expected.first);
      QCOMPARE(fixture.Settings()->TagFilter, expected.second);
    }
  }

  void controlsAndListsReachTheSettings() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    fixture.AddSize("120", "600");
    fixture.AddSize("88", "31");
    fixture.AddBlock("ads");
    form.SaveListStates();
    form.ProxyPage->ProxyName->setText("upstream.example");
    form.ProxyPage->ProxyPort->setText("3128x");
    form.ImagesPage->NumAnims->setText("3");
    form.ImagesPage->Anims->SetItemIndex(2);
    form.MiscPage->Referer->SetItemIndex(3);
    form.AclPage->PassExpire->setValue(5);
    form.BlockListPage->flt_Scripts->setChecked(true);
    form.m_Options_WordCase->setChecked(true);
    form.m_Log_Enabled->setChecked(true);
    form.Apply();
    const auto settings = fixture.Settings();
    QCOMPARE(settings->ImageSizes, (std::vector<TImageSize>{{120, 600}, {88, 31}}));
    QCOMPARE(settings->SizeChecked, (std::vector<bool>{true, true}));
    QCOMPARE(settings->BlockItems, std::vector<std::string>{"ads"});
    QCOMPARE(settings->BlockChecked, std::vector<bool>{true});
    QCOMPARE(settings->ProxyName, std::string("upstream.example"));
    QCOMPARE(settings->ProxyPort, 0);  // not a number: 0
    QCOMPARE(settings->NumAnims, 3);
    QVERIFY(settings->Anims == TAnimationRule::RepeatNumAnims);
    QVERIFY(settings->Referer == TRefererRule::OtherDomainOrPath);
    QCOMPARE(settings->PassExpireMs, 300000);
    QVERIFY(settings->FltScripts && !settings->FltForms);
    QVERIFY(settings->WordCase);
    QVERIFY(settings->LogEnabled);
    QCOMPARE(settings->BlockList().PatternCount(), size_t{1});
    QVERIFY(settings->BlockList().AnyPatternIn("http://ADS.example/"));
    form.AclPage->PassExpire->setValue(0);
    form.Apply();
    QCOMPARE(fixture.Settings()->PassExpireMs, 0);
  }

  void wordEntriesCountOnlyCheckedAndWithRedirectionOn() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.RedirectPage->RedirList->SetLines({"<casino", "<poker>"});
    form.RedirListStates->Strings = {"1|1|t|Og==", "1|1|t|Og=="};
    form.Apply();
    QVERIFY(!fixture.Settings()->HasWordEntries);
    form.RedirectPage->EnableRedir->setChecked(true);
    form.Apply();
    QVERIFY(fixture.Settings()->HasWordEntries);
    QCOMPARE(fixture.Settings()->RedirEntries.size(), size_t{2});
    QVERIFY(fixture.Settings()->RedirEntries[0].Checked && fixture.Settings()->RedirEntries[1].Checked);
    form.RedirListStates->Strings[1] = "0|1|t|Og==";
    form.Apply();
    QVERIFY2(!fixture.Settings()->HasWordEntries, "an opening bracket alone, and an unchecked word");
    QVERIFY((fixture.Settings()->RedirEntries[1] == TRedirEntry{"<poker>", false, TRedirAction::Block, "t", "Og=="}));
  }

  void anUpstreamProxyThatIsTheProxyItselfIsRefused() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const QString port = QString::number(form.Proxy()->ListeningPort());
    form.ProxyPage->UseProxy->setChecked(true);
    form.ProxyPage->ProxyPort->setText(port);
    for (const char* self : {"127.0.0.1", "localhost", "::1"}) {
      form.ProxyPage->ProxyName->setText(self);
      fixture.Dialogs().Messages.clear();
      form.but_OkClick();
      QVERIFY2(!form.Prefs().Settings()->UseProxy, self);
      QCOMPARE(fixture.Dialogs().Messages.size(), size_t{1});
      QVERIFY(fixture.Dialogs().Messages.front().startsWith("#ErrorMsg|"));
      QCOMPARE(form.MainPages->currentWidget(), static_cast<QWidget*>(form.ProxyPage));
    }
    // Another port of this machine is an ordinary upstream proxy.
    form.ProxyPage->ProxyPort->setText(QString::number(FreePort()));
    fixture.Dialogs().Messages.clear();
    form.but_OkClick();
    QVERIFY(form.Prefs().Settings()->UseProxy);
    QVERIFY(fixture.Dialogs().Messages.empty());
  }

  void theLimitsAreReadAgainOnApplyAndOnReload() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    QCOMPARE(form.Prefs().Settings()->Limits.MaxConnections, 512);
    std::ofstream(fixture.Path("TARNWICK.INI"), std::ios::app) << "[Tarnwick.Limits]\nMaxConnections=7\n";
    form.but_OkClick();
    QCOMPARE(form.Prefs().Settings()->Limits.MaxConnections, 7);
    std::ofstream(fixture.Path("TARNWICK.INI"), std::ios::app) << "TunnelIdleTimeout=9\n";
    QCOMPARE(form.ReloadSettings(), std::string());
    QCOMPARE(form.Prefs().Settings()->Limits.TunnelIdleSec, 9);
    QCOMPARE(form.Prefs().Settings()->Limits.MaxConnections, 7);
  }

  void thePortAndExternalAccessRestartTheServerOnTheNextTick() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    QVERIFY(form.Proxy()->Active());
    QVERIFY(!form.Prefs().RestartNeeded);
    form.Apply();
    QVERIFY2(!form.Prefs().RestartNeeded, "nothing changed");

    form.ProxyPage->AllowOthers->setChecked(true);
    form.Apply();
    QVERIFY(form.Prefs().RestartNeeded);
    form.MainTimerTimer();
    QVERIFY(!form.Prefs().RestartNeeded);
    QCOMPARE(form.Proxy()->ListeningAddress(), std::string("0.0.0.0"));
    form.Apply();
    QVERIFY(!form.Prefs().RestartNeeded);

    const int port = FreePort();
    form.ProxyPage->Port->setText(QString::number(port));
    form.Apply();
    QVERIFY(form.Prefs().RestartNeeded);
    form.MainTimerTimer();
    QCOMPARE(form.Proxy()->ListeningPort(), port);
    QVERIFY(ConnectTo(port).Valid());
  }

  void aPendingRestartSurvivesAnotherApply() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const int port = FreePort();
    form.ProxyPage->Port->setText(QString::number(port));
    form.Apply();
    form.m_Options_Offline->trigger();  // a menu command applies again before the timer ticks
    QVERIFY(form.Prefs().RestartNeeded);
    form.MainTimerTimer();
    QCOMPARE(form.Proxy()->ListeningPort(), port);
  }

  void aPortThatIsNotANumberChangesNothing() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    const int before = fixture.Settings()->ListenPort;
    const int listening = form.Proxy()->ListeningPort();
    form.ProxyPage->Port->setText("80 80");
    form.ProxyPage->ProxyName->setText("still applied");
    form.Apply();
    QCOMPARE(fixture.Settings()->ListenPort, before);
    QCOMPARE(fixture.Settings()->ProxyName, std::string("still applied"));
    QVERIFY(!form.Prefs().RestartNeeded);
    form.MainTimerTimer();
    QCOMPARE(form.Proxy()->ListeningPort(), listening);
  }

  void entriesWithoutAStateLineAreUncheckedInTheEngine() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    fixture.AddBlock("b-unticked");
    fixture.AddBlock("c-ticked");
    form.BlockListPage->BlockList->SetChecked(0, false);
    form.SaveListStates();
    form.Apply();
    QCOMPARE(fixture.Settings()->BlockChecked, (std::vector<bool>{false, true}));
    // A new entry sorts in front of both before the next save; an Apply from a menu now must
    // neither activate the new entry nor shift the old ticks.
    fixture.AddBlock("a-new");
    form.m_Options_DontUserAgent->trigger();
    const auto settings = fixture.Settings();
    QCOMPARE(settings->BlockItems, (std::vector<std::string>{"a-new", "b-unticked", "c-ticked"}));
    QVERIFY(!IsChecked(settings->BlockChecked, 0));
    QVERIFY(!IsChecked(settings->BlockChecked, 1));
    QVERIFY(IsChecked(settings->BlockChecked, 2));
    QVERIFY(settings->DontUserAgent);
  }

  // Every command that publishes settings publishes them prepared: after logging is switched off
  // and on and the log cleared through the window, the snapshot in force matches the block list
  // with the matcher built from that very list.
  void loggingCommandsKeepTheBlockListPrepared() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    fixture.AddBlock("ads.example");
    fixture.AddBlock("! site.example");
    form.BlockListPage->FilterType->SetItemIndex(3);
    form.SaveListStates();
    form.Apply();
    const auto applied = fixture.Settings();
    QCOMPARE(applied->BlockList().PatternCount(), size_t{2});
    const bool logging = applied->LogEnabled;
    for (int step = 0; step < 3; ++step) {
      const auto before = fixture.Settings();
      if (step < 2) {
        form.m_Log_Enabled->trigger();
      } else {
        QVERIFY(form.ClearLog());
      }
      const auto after = fixture.Settings();
      QVERIFY2(after != before, "the command published a new snapshot");
      QCOMPARE(after->LogEnabled, step == 0 ? !logging : logging);
      QCOMPARE(after->BlockItems, applied->BlockItems);
      QVERIFY2(&after->BlockList() != &applied->BlockList(), "the matcher belongs to the new snapshot");
      QCOMPARE(after->BlockList().PatternCount(), size_t{2});
      QCOMPARE(after->BlockList().ExceptionCount(), size_t{1});
      QVERIFY(after->BlockList().AnyPatternIn("http://ADS.example/banner.gif"));
      QVERIFY(!after->BlockList().AnyPatternIn("http://news.example/"));
      QVERIFY(after->BlockList().AnyExceptionIn("", "http://site.example/", ""));
    }
  }

  void menuCommandsToggleTheirTicksAndApply() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.tm_Offline->trigger();
    QVERIFY(form.m_Options_Offline->isChecked() && form.tm_Offline->isChecked());
    QVERIFY(fixture.Settings()->Offline);
    form.m_ProxyEngine->trigger();
    QVERIFY(form.m_Options_Passthru->isChecked() && form.tm_Passthru->isChecked() && !form.m_ProxyEngine->isChecked());
    QVERIFY(fixture.Settings()->PassThru);
    form.m_Options_Passthru->trigger();
    QVERIFY(!fixture.Settings()->PassThru && form.m_ProxyEngine->isChecked());
    form.m_Log_DontLogMyself->trigger();
    QVERIFY(fixture.Settings()->DontLogMyself);
    form.m_Options_WordCase->trigger();
    QVERIFY(form.m_Options_WordCase->isChecked());
    QVERIFY2(!fixture.Settings()->WordCase, "word case waits for the next Apply");

    form.PasswordCheck = [] { return false; };
    form.m_Options_Offline->trigger();
    QVERIFY2(form.m_Options_Offline->isChecked(), "a refused password changes nothing");
    QVERIFY(fixture.Settings()->Offline);
  }
};

std::unique_ptr<QObject> MakeApplyTest() { return std::make_unique<ApplyTest>(); }

}  // namespace tarnwick::test

#include "ApplyTest.moc"
