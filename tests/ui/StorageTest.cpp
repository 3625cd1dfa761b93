// The settings file: every key and list restored into the window and stored back unchanged,
// emptied lists, state lines, placement, and the statistics lines across a restart.

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWidget>

#include <map>

#include "FormFixture.h"
#include "TestClasses.h"
#include "platform/IniFile.h"
#include "prefs/StoredProperties.h"
#include "ui/CheckList.h"
#include "ui/FormStorage.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"

namespace tarnwick::test {

namespace {

// Every stored key with a value other than its design value, and all four lists.
const char* const kEveryKey =
    "[Corvane]\n"
    "AllowOthers_Checked=True\nPort_Text=0\nProxyName_Text=upstream.example\nProxyPort_Text=3128\n"
    "UseProxy_Checked=True\nMainPages_ActivePage=tab_Redirect\nReferer_ItemIndex=2\nPopups_ItemIndex=1\n"
    "FilterType_ItemIndex=3\nflt_Forms_Checked=True\nflt_Frames_Checked=True\nflt_Images_Checked=True\n"
    "flt_Layers_Checked=False\nflt_Scripts_Checked=True\nflt_Text_Checked=True\nflt_Windows_Checked=True\n"
    "DontFilterWhen_ItemIndex=1\nFilterByDim_Checked=True\nIgnoreNoDims_Checked=True\nReplaceTrans_Checked=True\n"
    "Anims_ItemIndex=2\nNumAnims_Text=3\nrdt_Block_Checked=False\nrdt_Password_Checked=False\nrdt_Redir_Checked=True\n"
    "RedirToText_Text=http://example.org/instead\nm_Options_Offline_Checked=True\nm_Options_Passthru_Checked=True\n"
    "tm_Offline_Checked=True\ntm_Passthru_Checked=True\nm_Log_Enabled_Checked=True\nm_Options_HideIcon_Checked=True\n"
    "m_Options_DontUserAgent_Checked=True\nm_Log_DontLogMyself_Checked=True\nEnableRedir_Checked=True\n"
    "m_Options_WordCase_Checked=True\nm_Options_Hidesplashscreen_Checked=True\nm_DisableWarningonExit_Checked=True\n"
    "m_AccessControl_Checked=True\nm_AdvertisingFilter_Checked=True\nm_ProxyEngine_Checked=False\n"
    "m_RedirectionWordsAnalysis_Checked=True\nPassExpire_Value=15\nm_HidePasswordText_Checked=True\n"
    "[Corvane.StatStrings_Strings]\nCount=13\nItem0=FltImagesCnt=1\nItem1=FltFormsCnt=2\nItem2=FltFramesCnt=3\n"
    "Item3=FltLayersCnt=4\nItem4=FltScriptsCnt=5\nItem5=FltTextCnt=6\nItem6=FltWindowsCnt=7\nItem7=ImgCnt=8\n"
    "Item8=ConnCnt=9\nItem9=SentCnt=3000000000\nItem10=RecvCnt=11\nItem11=RecvProxyCnt=12\n"
    "Item12=SinceDate=Monday, 3 March 2025\n"
    "[Corvane.BlockList_Items]\nCount=3\nItem0=ads\nItem1=banner\nItem2=track\n"
    "[Corvane.BlockListStates_Strings]\nCount=3\nItem0=1\nItem1=0\nItem2=1\n"
    "[Corvane.RedirList_Items]\nCount=2\nItem0=<casino>\nItem1=example.net/old/\n"
    "[Corvane.RedirListStates_Strings]\nCount=2\nItem0=0|1|https://tarnwick.example.org/|Og==\n"
    "Item1=1|2|http://example.org/new/|dXNlcjpwYXNz\n"
    "[Corvane.SizeList_Items]\nCount=2\nItem0=468 x 60\nItem1=728 x 90\n"
    "[Corvane.SizeListStates_Strings]\nCount=2\nItem0=0\nItem1=1\n"
    "[Corvane.ACLList_Items]\nCount=2\nItem0=127.0.0.1\nItem1=192.0.2.15\n"
    "[Corvane.ACLListStates_Strings]\nCount=2\nItem0=1|0|Og==\nItem1=0|2|dXNlcjpzZWNyZXQ=\n";

using TSections = std::map<std::string, std::map<std::string, std::string>>;

// Every stored property's value and every list section, by lower-cased name.
TSections StoredContent(const std::string& text) {
  const TIniFile file = TIniFile::InMemory(text);
  TSections content;
  for (const auto& property : StoredProperties()) {
    if (property.Form == TPropertyForm::List) {
      const std::string section = ListSectionName(property.Key);
      for (const auto& [key, value] : file.ReadSection(section)) content[section][key] = value;
    } else if (const auto value = file.Read(kSettingsSection, property.Key)) {
      content[kSettingsSection][std::string(property.Key)] = *value;
    }
  }
  return content;
}

}  // namespace

class StorageTest : public QObject {
  Q_OBJECT

 private slots:
  void everyKeyAndListSurvivesARestoreAndAStore() {
    TFormFixture fixture(kEveryKey);
    fixture.Form().StoreSettings();
    const TSections original = StoredContent(fixture.WrittenIni());
    const TSections stored = StoredContent(fixture.IniText());
    QCOMPARE(original.at(kSettingsSection).size(), size_t{44});  // 53 properties, 9 of them lists
    QCOMPARE(stored.size(), original.size());
    for (const auto& [section, values] : original) {
      for (const auto& [key, value] : values) {
        QVERIFY2(stored.count(section) && stored.at(section).count(key), (section + " " + key + " missing").c_str());
        QCOMPARE(stored.at(section).at(key), value);
      }
      QCOMPARE(stored.at(section).size(), values.size());
    }
  }

  void restoredSettingsShowInTheControls() {
    TFormFixture fixture(kEveryKey);
    auto& form = fixture.Form();
    QVERIFY(form.RedirectPage->rdt_Redir->isChecked());
    QVERIFY(!form.m_ProxyEngine->isChecked());
    QCOMPARE(form.MainPages->currentWidget(), static_cast<QWidget*>(form.RedirectPage));
    QVERIFY(!form.BlockListPage->BlockList->IsChecked(1) && form.BlockListPage->BlockList->IsChecked(2));
    QVERIFY(!form.RedirectPage->RedirList->IsChecked(0) && form.RedirectPage->RedirList->IsChecked(1));
    QVERIFY(form.ProxyPage->ProxyName->isEnabled());
    const auto settings = fixture.Settings();
    QVERIFY(settings->Offline && settings->PassThru && settings->AllowOthers && settings->UseProxy);
    QCOMPARE(settings->PassExpireMs, 15 * 60 * 1000);
    QCOMPARE(form.Prefs().SentCnt.load(), 3000000000LL);
    QCOMPARE(form.Prefs().SinceDate, std::string("Monday, 3 March 2025"));
  }

  void aMissingKeyLeavesTheDesignValue() {
    TFormFixture fixture("[Corvane]\nPort_Text=0\nFilterType_ItemIndex=x\nflt_Forms_Checked=yes\n");
    auto& form = fixture.Form();
    QVERIFY(form.RedirectPage->rdt_Pass->isChecked());
    QCOMPARE(form.RedirectPage->RedirToText->text(), QString("https://tarnwick.example.org/"));
    QVERIFY(form.m_AccessControl->isChecked());
    QVERIFY(fixture.Settings()->DontFilterWhen == TDontFilterWhen::NoChoice);
    QCOMPARE(fixture.Settings()->RequestFilter, false);
    QCOMPARE(fixture.Settings()->FltForms, false);
  }

  void anEmptiedListLeavesNoSection() {
    TFormFixture fixture(kEveryKey);
    auto& form = fixture.Form();
    auto& list = *form.BlockListPage->BlockList;
    while (list.count() > 0) {
      list.setCurrentRow(0);
      fixture.Click(form.BlockListPage->but_DelBlock);
    }
    form.SaveListStates();
    form.StoreSettings();
    const TIniFile file(fixture.Path("TARNWICK.INI"));
    QVERIFY(!file.SectionExists("Corvane.BlockList_Items"));
    QVERIFY(!file.SectionExists("Corvane.BlockListStates_Strings"));
    QVERIFY(file.SectionExists("Corvane.SizeList_Items"));
    fixture.Restart();
    QCOMPARE(fixture.Form().BlockListPage->BlockList->count(), 0);
  }

  void stateLinesKeepTheirForm() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    for (const char* entry : {"ads", "banner", "track"}) fixture.AddBlock(entry);
    form.BlockListPage->BlockList->SetChecked(1, false);
    form.RedirectPage->rdt_Redir->setChecked(true);
    form.RedirectPage->RedirToText->setText("http://example.org/x");
    fixture.AddRedir("casino");
    form.AclPage->ACLUser->clear();
    fixture.AddAcl("10.1.2.3");
    form.RedirectPage->RedirList->SetChecked(0, false);
    form.SaveListStates();
    form.StoreSettings();
    const TIniFile file(fixture.Path("TARNWICK.INI"));
    QCOMPARE(file.ReadString("Corvane.BlockList_Items", "Count"), std::string("3"));
    QCOMPARE(file.ReadString("Corvane.BlockListStates_Strings", "Item1"), std::string("0"));
    QCOMPARE(file.ReadString("Corvane.BlockListStates_Strings", "Item2"), std::string("1"));
    QCOMPARE(file.ReadString("Corvane.RedirListStates_Strings", "Item0"), std::string("0|2|http://example.org/x|Og=="));
    QCOMPARE(file.ReadString("Corvane.ACLListStates_Strings", "Item0"), std::string("1|0|Og=="));
  }

  void statisticsAreStoredInOrderAndSurviveARestart() {
    TFormFixture fixture;
    auto& form = fixture.Form();
    form.Prefs().RecvCnt = 5'000'000'000LL;
    form.Prefs().ConnCnt = 42;
    form.EndSession();
    const TIniFile file(fixture.Path("TARNWICK.INI"));
    const auto lines = file.ReadSection("Corvane.StatStrings_Strings");
    QCOMPARE(lines.size(), size_t{14});
    QCOMPARE(lines[0].second, std::string("13"));
    QCOMPARE(lines[1].second, std::string("FltImagesCnt=0"));
    QCOMPARE(lines[9].second, std::string("ConnCnt=42"));
    QCOMPARE(lines[11].second, std::string("RecvCnt=5000000000"));
    QCOMPARE(lines[13].second, std::string("SinceDate="));
    fixture.Restart();
    QCOMPARE(fixture.Form().Prefs().RecvCnt.load(), 5'000'000'000LL);
    QCOMPARE(fixture.Form().Prefs().ConnCnt.load(), 42);
  }

  void placementPrefersTheKeyOfTheScreenResolution() {
    QWidget window;
    TIniFile file = TIniFile::InMemory("[P]\nNormPos=40,50,440,350\n");
    RestorePlacement(window, file, "P");
    QCOMPARE(window.pos(), QPoint(40, 50));
    StorePlacement(window, file, "P");
    const auto keys = file.ReadSection("P");
    std::string resolutionKey;
    for (const auto& [key, value] : keys) {
      if (key.rfind("NormPos(", 0) == 0) resolutionKey = key;
    }
    QVERIFY(!resolutionKey.empty());
    QCOMPARE(file.ReadString("P", "FormVersion"), std::string("0"));
    file.WriteString("P", resolutionKey, "70,80,470,380");
    RestorePlacement(window, file, "P");
    QCOMPARE(window.pos(), QPoint(70, 80));
  }
};

std::unique_ptr<QObject> MakeStorageTest() { return std::make_unique<StorageTest>(); }

}  // namespace tarnwick::test

#include "StorageTest.moc"
