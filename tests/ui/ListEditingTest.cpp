// Adding, deleting and selecting list entries, with their messages and state lines.

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "FormFixture.h"
#include "TestClasses.h"
#include "language/Language.h"
#include "ui/CheckList.h"
#include "ui/ListEditors.h"
#include "ui/Pages.h"
#include "ui/StringHolder.h"

namespace tarnwick::test {

class ListEditingTest : public QObject {
  Q_OBJECT

 private slots:
  void anImportMergesHostsKeepsTicksAndReports() {
    // English, so that the report's figures can be read.
    auto english = std::make_shared<TLanguage>(TARNWICK_SOURCE_DIR "/resources");
    english->SetCode(4);
    english->SelectLanguageDirectory();
    english->SetLanguageFile(english->LanguageFilePath());
    TFormFixture fixture(kTestPort, false, english);
    auto& form = fixture.Form();
    auto& list = *form.BlockListPage->BlockList;
    fixture.AddBlock("zeta.example");
    fixture.AddBlock("/ads/");
    list.SetChecked(1, false);  // zeta.example, unticked by the user since
    const std::string path = fixture.Path("hosts.txt");
    QFile hosts(QString::fromStdString(path));
    QVERIFY(hosts.open(QIODevice::WriteOnly));
    hosts.write("# list\n0.0.0.0 b.example\n0.0.0.0 ZETA.example\n||a.example^\nexample.com##.ad\n");
    hosts.close();

    QVERIFY(form.Editors().ImportBlockFile(QString::fromStdString(path)));
    QCOMPARE(fixture.Dialogs().Messages.back(),
             QString("Information|2 entries added, 1 already in the list, 1 lines skipped."));
    QCOMPARE(list.count(), 4);
    QCOMPARE(list.Text(0), QString("/ads/"));
    QCOMPARE(list.Text(1), QString("a.example"));
    QCOMPARE(list.Text(3), QString("zeta.example"));
    QVERIFY(list.IsChecked(0) && list.IsChecked(1) && list.IsChecked(2));
    QVERIFY2(!list.IsChecked(3), "an entry's tick stays with it");
    QCOMPARE(form.BlockListStates->Strings.size(), size_t{4});

    form.Apply();
    const auto settings = fixture.Settings();
    QCOMPARE(settings->BlockItems.size(), size_t{4});
    form.SaveListStates();
    form.Apply();
    QVERIFY(!IsChecked(fixture.Settings()->BlockChecked, 3));
    QVERIFY(IsChecked(fixture.Settings()->BlockChecked, 1));

    QVERIFY(!form.Editors().ImportBlockFile(QString::fromStdString(fixture.Path("missing.txt"))));
    QVERIFY(fixture.Dialogs().Messages.back().startsWith("Error|The file "));
    QCOMPARE(list.count(), 4);
  }

  void blockPatternsAreSortedTickedAndUniqueInAnyCase() {
    TFormFixture fixture(kTestPort, false);
    auto& page = *fixture.Form().BlockListPage;
    fixture.AddBlock("tracker");
    fixture.AddBlock("Ads");
    QCOMPARE(page.BlockList->count(), 2);
    QCOMPARE(page.BlockList->Text(0), QString("Ads"));
    QCOMPARE(page.BlockList->Selected(), 0);
    QVERIFY(page.BlockList->IsChecked(0));
    QVERIFY(page.AddBlockText->text().isEmpty());
    fixture.AddBlock("aDS");
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#errPatExistsCap|#errPatExists"});
    QCOMPARE(page.BlockList->count(), 2);
    QCOMPARE(page.AddBlockText->text(), QString("aDS"));
    fixture.AddBlock("");
    QCOMPARE(page.BlockList->count(), 2);
  }

  void theEnterKeyAddsAndTheDeleteKeyDeletes() {
    TFormFixture fixture(kTestPort, false);
    auto& page = *fixture.Form().BlockListPage;
    page.AddBlockText->setText("banner");
    QTest::keyClick(page.AddBlockText, Qt::Key_Return);
    QCOMPARE(page.BlockList->Lines(), std::vector<std::string>{"banner"});
    QTest::keyClick(page.BlockList, Qt::Key_Delete);
    QCOMPARE(page.BlockList->count(), 0);
    QTest::keyClick(page.BlockList, Qt::Key_Delete);
    QCOMPARE(page.BlockList->count(), 0);
  }

  void imageSizesMustBeNumbersAndNew() {
    TFormFixture fixture(kTestPort, false);
    auto& page = *fixture.Form().ImagesPage;
    fixture.AddSize("468", "60");
    QCOMPARE(page.SizeList->Lines(), std::vector<std::string>{"468 x 60"});
    QVERIFY(page.SizeList->IsChecked(0));
    QCOMPARE(page.SizeList->Selected(), 0);
    QVERIFY(page.im_Width->text().isEmpty() && page.im_Height->text().isEmpty());
    fixture.AddSize("468", "60");
    fixture.AddSize("4x8", "60");
    fixture.AddSize("", "60");
    QCOMPARE(fixture.Dialogs().Messages,
             (std::vector<QString>{"#errImgSizeExistsCap|#errImgSizeExists", "#errImgSizeCap|#errImgSize",
                                   "#errImgSizeCap|#errImgSize"}));
    QCOMPARE(page.SizeList->count(), 1);
    fixture.AddSize("120", "600");
    page.SizeList->setCurrentRow(1);
    QCOMPARE(page.im_Width->text(), QString("468"));
    QCOMPARE(page.im_Height->text(), QString("60"));
  }

  void clientAddressesMustBeValidAndNew() {
    TFormFixture fixture(kTestPort, false);
    auto& form = fixture.Form();
    auto& page = *form.AclPage;
    form.ACLListStates->Strings = {"1|0|Og=="};
    page.ACLList->SetLines({"999.1.1.1"});
    fixture.AddAcl("999.1.1.1");
    fixture.AddAcl("10.0.0.256");
    fixture.AddAcl("255.255.255.255");
    QCOMPARE(fixture.Dialogs().Messages, (std::vector<QString>{"#errIPExistsCap|#errIPExists", "#errBadIPCap|#errBadIP",
                                                               "#errBadIPCap|#errBadIP"}));
    page.acl_Deny->setChecked(true);
    fixture.AddAcl("10.0.0.1");
    QCOMPARE(page.ACLList->Lines(), (std::vector<std::string>{"10.0.0.1", "999.1.1.1"}));
    QCOMPARE(form.ACLListStates->Strings, (std::vector<std::string>{"1|1|Og==", "1|0|Og=="}));
  }

  void aRedirectionEntryCarriesItsMethodTargetAndCredential() {
    TFormFixture fixture(kTestPort, false);
    auto& form = fixture.Form();
    auto& page = *form.RedirectPage;
    page.rdt_Redir->setChecked(true);
    page.RedirToText->setText("http://example.org/instead");
    page.Username->setText("user");
    page.Password->setText("pass");
    fixture.AddRedir("ads");
    QCOMPARE(form.RedirListStates->Strings, std::vector<std::string>{"1|2|http://example.org/instead|dXNlcjpwYXNz"});
    page.RedirToText->clear();
    page.rdt_Block->setChecked(true);
    page.Username->clear();
    page.Password->clear();
    fixture.AddRedir("<casino>");  // an empty target becomes the home page
    QCOMPARE(form.RedirListStates->Strings, (std::vector<std::string>{"1|1|https://tarnwick.example.org/|Og==",
                                                                      "1|2|http://example.org/instead|dXNlcjpwYXNz"}));
    fixture.AddRedir("ADS");
    QCOMPARE(fixture.Dialogs().Messages, std::vector<QString>{"#errPatExistsCap|#errPatExists"});
  }

  void selectingAnEntryShowsItsStateWithoutRewritingIt() {
    TFormFixture fixture(kTestPort, false);
    auto& form = fixture.Form();
    auto& page = *form.RedirectPage;
    form.RedirListStates->Strings = {"1|0|a|Og==", "0|2|http://target/|dXNlcjpwOnc="};
    page.RedirList->SetLines({"alpha", "beta"});
    const auto before = form.RedirListStates->Strings;
    page.RedirList->setCurrentRow(1);
    QCOMPARE(page.AddRedirText->text(), QString("beta"));
    QVERIFY(page.rdt_Redir->isChecked());
    QCOMPARE(page.RedirToText->text(), QString("http://target/"));
    QCOMPARE(page.Username->text(), QString("user"));
    QCOMPARE(page.Password->text(), QString("p:w"));
    QCOMPARE(form.RedirListStates->Strings, before);
    // The user's own edit of the password rewrites the line at once.
    QTest::keyClicks(page.Password, "x");
    QCOMPARE(form.RedirListStates->Strings[1], std::string("0|2|http://target/|dXNlcjpwOnd4"));
    page.rdt_Block->click();
    QCOMPARE(form.RedirListStates->Strings[1], std::string("0|1|http://target/|dXNlcjpwOnd4"));
  }

  void deletingTakesTheStateLineAlong() {
    TFormFixture fixture(kTestPort, false);
    auto& form = fixture.Form();
    form.ACLListStates->Strings = {"1|0|Og==", "0|1|Og==", "1|2|dTpw"};
    form.AclPage->ACLList->SetLines({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    fixture.Click(form.AclPage->but_DelACL);
    QCOMPARE(form.AclPage->ACLList->count(), 3);  // nothing selected, nothing deleted
    form.AclPage->ACLList->setCurrentRow(1);
    fixture.Click(form.AclPage->but_DelACL);
    QCOMPARE(form.AclPage->ACLList->Lines(), (std::vector<std::string>{"10.0.0.1", "10.0.0.3"}));
    QCOMPARE(form.ACLListStates->Strings, (std::vector<std::string>{"1|0|Og==", "1|2|dTpw"}));
    QCOMPARE(form.AclPage->ACLList->Selected(), -1);

    form.BlockListStates->Strings = {"1", "0", "1"};
    form.BlockListPage->BlockList->SetLines({"a", "b", "c"});
    form.BlockListPage->BlockList->setCurrentRow(0);
    fixture.Click(form.BlockListPage->but_DelBlock);
    QCOMPARE(form.BlockListStates->Strings, (std::vector<std::string>{"0", "1"}));
  }

  void theImportsAddQuietly() {
    TFormFixture fixture(kTestPort, false);
    auto& form = fixture.Form();
    QVERIFY(form.Editors().AddBlockPattern("ads"));
    QVERIFY(!form.Editors().AddBlockPattern("ADS"));
    QVERIFY(!form.Editors().AddBlockPattern(""));
    QVERIFY(form.Editors().AddImageSize(88, 31));
    QVERIFY(!form.Editors().AddImageSize(88, 31));
    QVERIFY(form.Editors().AddRedirEntry("casino", "https://tarnwick.example.org/"));
    QVERIFY(!form.Editors().AddRedirEntry("Casino", "x"));
    QCOMPARE(form.RedirListStates->Strings, std::vector<std::string>{"1|2|https://tarnwick.example.org/|Og=="});
    QVERIFY(form.RedirectPage->RedirList->IsChecked(0));
    QVERIFY(fixture.Dialogs().Messages.empty());
  }
};

std::unique_ptr<QObject> MakeListEditingTest() { return std::make_unique<ListEditingTest>(); }

}  // namespace tarnwick::test

#include "ListEditingTest.moc"
