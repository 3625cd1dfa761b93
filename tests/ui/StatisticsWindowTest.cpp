// The statistics window: its figures, its gauge, showing and hiding, the live refresh and Reset.

#include <QAction>
#include <QDate>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "FormFixture.h"
#include "TestClasses.h"
#include "engine/FilterProxy.h"
#include "support/Loopback.h"
#include "ui/StatsForm.h"
#include "ui/StringHolder.h"

namespace tarnwick::test {

namespace {

std::vector<std::string> Lines(const std::string& sent, const std::string& images, const std::string& filtered) {
  return {"FltImagesCnt=" + filtered,
          "FltFormsCnt=2",
          "FltFramesCnt=3",
          "FltLayersCnt=4",
          "FltScriptsCnt=5",
          "FltTextCnt=6",
          "FltWindowsCnt=7",
          "ImgCnt=" + images,
          "ConnCnt=9",
          "SentCnt=" + sent,
          "RecvCnt=3221225472",
          "RecvProxyCnt=0",
          "SinceDate="};
}

QString Text(const TStatsForm& stats, const char* name) { return stats.Value(QString::fromLatin1(name))->text(); }

}  // namespace

class StatisticsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void refusedRequestsAreListedNewestFirstWithTheirEntry() {
    TFormFixture fixture(
        "[Corvane]\nPort_Text=0\nFilterType_ItemIndex=1\n"
        "[Corvane.BlockList_Items]\nCount=2\nItem0=/ads/\nItem1=banner\n"
        "[Corvane.BlockListStates_Strings]\nCount=2\nItem0=1\nItem1=1\n");
    auto& form = fixture.Form();
    const int port = form.Proxy()->ListeningPort();
    for (const char* path : {"/ads/one.gif", "/two/banner.png", "/plain.html"}) {
      TRawSocket client = ConnectTo(port);
      QVERIFY(client.Valid());
      // Port 1 refuses at once: the request that passes the lists gets the 500 page, no block.
      client.Send(std::string("GET http://127.0.0.1:1") + path + " HTTP/1.0\r\n\r\n");
      client.ReceiveAll();
    }
    form.m_File_Statistics->trigger();
    form.MainTimerTimer();
    const QListWidget& recent = *form.StatsForm()->RecentlyBlocked;
    QCOMPARE(recent.count(), 2);
    QVERIFY2(recent.item(0)->text().endsWith("  http://127.0.0.1:1/two/banner.png  [banner]"),
             qPrintable(recent.item(0)->text()));
    QVERIFY(recent.item(1)->text().endsWith("  http://127.0.0.1:1/ads/one.gif  [/ads/]"));
  }

  void figuresAreShownAsKilobytesWithThousandsSeparators() {
    TStatsForm stats;
    stats.SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    stats.UpdateDisplay(Lines("1023", "10", "3"), 4);
    QCOMPARE(Text(stats, "SentCnt"), QString("0"));
    QCOMPARE(Text(stats, "RecvCnt"), QString("3,145,728"));  // beyond 32 bits
    QCOMPARE(Text(stats, "FltWindowsCnt"), QString("7"));
    QCOMPARE(Text(stats, "ConnCnt"), QString("9"));
    QCOMPARE(Text(stats, "CurrConnCnt"), QString("4"));
    QCOMPARE(Text(stats, "SinceDate"),
             QLocale(QLocale::English, QLocale::UnitedStates).toString(QDate::currentDate(), QLocale::LongFormat));
    QCOMPARE(stats.ProgressBar->maximum(), 10);
    QCOMPARE(stats.ProgressBar->value(), 3);
    stats.UpdateDisplay(Lines("1024", "0", "2"), 0);
    QCOMPARE(Text(stats, "SentCnt"), QString("1"));
    QCOMPARE(stats.ProgressBar->maximum(), 2);
    QCOMPARE(stats.ProgressBar->value(), 2);
    stats.UpdateDisplay(Lines("1536000", "0", "0"), 0);
    QCOMPARE(Text(stats, "SentCnt"), QString("1,500"));
    QCOMPARE(FormatKilobytes(1536000, QLocale(QLocale::German, QLocale::Germany)), QString("1.500"));
  }

  void anUnreadableFigureLeavesTheRestAsTheyWere() {
    TStatsForm stats;
    stats.UpdateDisplay(Lines("2048", "1", "1"), 1);
    auto lines = Lines("many", "1", "1");
    lines[8] = "ConnCnt=77";
    stats.UpdateDisplay(lines, 5);
    QCOMPARE(Text(stats, "ConnCnt"), QString("77"));
    QCOMPARE(Text(stats, "SentCnt"), QString("2"));
    QCOMPARE(Text(stats, "CurrConnCnt"), QString("1"));
  }

  void bothMenuItemsShowAndHideTheWindow() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Prefs().ConnCnt = 12;
    form.m_File_Statistics->trigger();
    QVERIFY(form.StatsForm()->isVisible());
    QVERIFY(form.m_File_Statistics->isChecked() && form.tm_Statistics->isChecked());
    QCOMPARE(Text(*form.StatsForm(), "ConnCnt"), QString("12"));
    form.tm_Statistics->trigger();
    QVERIFY(!form.StatsForm()->isVisible());
    QVERIFY(!form.m_File_Statistics->isChecked() && !form.tm_Statistics->isChecked());
    form.tm_Statistics->trigger();
    form.StatsForm()->OkButton->click();
    QVERIFY(!form.StatsForm()->isVisible());
    QVERIFY(!form.m_File_Statistics->isChecked() && !form.tm_Statistics->isChecked());
  }

  void theTimerRefreshesOnlyInNormalMode() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.m_File_Statistics->trigger();
    form.Prefs().ConnCnt = 5;
    form.MainTimerTimer();
    QCOMPARE(Text(*form.StatsForm(), "ConnCnt"), QString("5"));
    form.m_Options_Passthru->trigger();
    form.Prefs().ConnCnt = 6;
    form.MainTimerTimer();
    QCOMPARE(Text(*form.StatsForm(), "ConnCnt"), QString("5"));
    form.m_Options_Passthru->trigger();
    form.MainTimerTimer();
    QCOMPARE(Text(*form.StatsForm(), "ConnCnt"), QString("6"));
  }

  void resetClearsTheCountersUnlessThePasswordIsRefused() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.m_File_Statistics->trigger();
    form.Prefs().FltScriptsCnt = 8;
    form.PasswordCheck = [] { return false; };
    form.StatsForm()->ResetButton->click();
    QCOMPARE(form.Prefs().FltScriptsCnt.load(), 8);
    form.PasswordCheck = [] { return true; };
    form.StatsForm()->ResetButton->click();
    QCOMPARE(form.Prefs().FltScriptsCnt.load(), 0);
    QVERIFY(!form.Prefs().SinceDate.empty());
    QCOMPARE(Text(*form.StatsForm(), "FltScriptsCnt"), QString("0"));
    QCOMPARE(form.StatStrings->Strings.back(), "SinceDate=" + form.Prefs().SinceDate);
  }
};

std::unique_ptr<QObject> MakeStatisticsWindowTest() { return std::make_unique<StatisticsWindowTest>(); }

}  // namespace tarnwick::test

#include "StatisticsWindowTest.moc"
