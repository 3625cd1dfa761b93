// Opening the window, Cancel and Apply, and the Plugins menu's pages.

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "FormFixture.h"
#include "TestClasses.h"
#include "ui/CheckList.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"

namespace tarnwick::test {

namespace {

const char* const kThreeBlocked =
    "[Corvane]\nPort_Text=0\n"
    "[Corvane.BlockList_Items]\nCount=3\nItem0=ads\nItem1=banner\nItem2=track\n"
    "[Corvane.BlockListStates_Strings]\nCount=3\nItem0=1\nItem1=0\nItem2=1\n";

}  // namespace

class CancelAndPluginsTest : public QObject {
  Q_OBJECT

 private slots:
  void cancelPutsTheTicksBackButKeepsTypedText() {
    TFormFixture fixture(kThreeBlocked);
    auto& form = fixture.Form();
    auto& list = *form.BlockListPage->BlockList;
    form.OpenSettings();
    QVERIFY(form.isVisible());
    const std::string stored = fixture.IniText();
    list.SetChecked(0, false);
    list.SetChecked(1, true);
    form.ProxyPage->ProxyName->setText("proxy.example");
    fixture.Click(form.but_Cancel);
    QVERIFY(!form.isVisible());
    QVERIFY(list.IsChecked(0) && !list.IsChecked(1) && list.IsChecked(2));
    QCOMPARE(form.ProxyPage->ProxyName->text(), QString("proxy.example"));
    QCOMPARE(fixture.Settings()->ProxyName, std::string("proxy.example"));
    QCOMPARE(fixture.Settings()->BlockChecked, (std::vector<bool>{true, false, true}));
    QCOMPARE(fixture.IniText(), stored);  // Cancel writes nothing
  }

  void entriesAddedBeforeCancelKeepTheirTicks() {
    TFormFixture fixture(kThreeBlocked);
    auto& form = fixture.Form();
    auto& list = *form.BlockListPage->BlockList;
    form.OpenSettings();
    fixture.AddBlock("zzz-last");
    fixture.AddBlock("aaa-first");
    list.SetChecked(list.IndexOfText("zzz-last"), false);
    list.SetChecked(list.IndexOfText("banner"), true);
    fixture.Click(form.but_Cancel);
    QVERIFY(list.IsChecked(list.IndexOfText("aaa-first")));
    QVERIFY(!list.IsChecked(list.IndexOfText("zzz-last")));
    QVERIFY(!list.IsChecked(list.IndexOfText("banner")));
    QVERIFY(list.IsChecked(list.IndexOfText("ads")) && list.IsChecked(list.IndexOfText("track")));
  }

  void applyHidesStoresAndApplies() {
    TFormFixture fixture(kThreeBlocked);
    auto& form = fixture.Form();
    form.OpenSettings();
    form.BlockListPage->BlockList->SetChecked(1, true);
    fixture.Click(form.but_Ok);
    QVERIFY(!form.isVisible());
    QCOMPARE(fixture.Settings()->BlockChecked, (std::vector<bool>{true, true, true}));
    QVERIFY(fixture.IniText().find("Item1=1\n") != std::string::npos);
  }

  void theCloseBoxActsAsCancelWhileTheWindowIsOpen() {
    TFormFixture fixture(kThreeBlocked);
    auto& form = fixture.Form();
    form.OpenSettings();
    form.BlockListPage->BlockList->SetChecked(0, false);
    QVERIFY(!form.close());
    QVERIFY(!form.isVisible());
    QVERIFY(form.BlockListPage->BlockList->IsChecked(0));
  }

  void pluginsShowAndHidePagesOnly() {
    TFormFixture fixture(kThreeBlocked);
    auto& form = fixture.Form();
    auto visible = [&form](QWidget* page) { return form.MainPages->isTabVisible(form.MainPages->indexOf(page)); };
    QVERIFY(visible(form.AclPage) && visible(form.BlockListPage) && visible(form.ImagesPage) &&
            visible(form.RedirectPage));
    form.m_AdvertisingFilter->trigger();
    QVERIFY(!form.m_AdvertisingFilter->isChecked());
    QVERIFY(!visible(form.BlockListPage) && !visible(form.ImagesPage) && visible(form.AclPage));
    form.m_AccessControl->trigger();
    QVERIFY(!visible(form.AclPage));
    form.m_RedirectionWordsAnalysis->trigger();
    QVERIFY(!visible(form.RedirectPage) && visible(form.ProxyPage) && visible(form.MiscPage));
    form.Apply();
    QCOMPARE(fixture.Settings()->BlockItems.size(), size_t{3});  // the block list keeps working
    form.m_AccessControl->trigger();
    QVERIFY(visible(form.AclPage));

    form.StoreSettings();
    fixture.Restart();
    auto& again = fixture.Form();
    QVERIFY(!again.MainPages->isTabVisible(again.MainPages->indexOf(again.BlockListPage)));
    QVERIFY(again.MainPages->isTabVisible(again.MainPages->indexOf(again.AclPage)));
  }

  void hidePasswordTextMasksTheFourEdits() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.m_HidePasswordText->trigger();
    for (auto* edit :
         {form.AclPage->ACLUser, form.AclPage->ACLPass, form.RedirectPage->Username, form.RedirectPage->Password}) {
      QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }
    form.m_HidePasswordText->trigger();
    QCOMPARE(form.RedirectPage->Password->echoMode(), QLineEdit::Normal);
  }
};

std::unique_ptr<QObject> MakeCancelAndPluginsTest() { return std::make_unique<CancelAndPluginsTest>(); }

}  // namespace tarnwick::test

#include "CancelAndPluginsTest.moc"
