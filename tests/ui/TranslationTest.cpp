// The language files against the windows and messages of the program: every key shown or used has
// an entry in each of the five files, every window comes up without a key in each language, and a
// switch at run time leaves nothing of the language before.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "FormFixture.h"
#include "TestClasses.h"
#include "language/Language.h"
#include "language/LanguageFile.h"
#include "ui/CheckList.h"
#include "ui/Pages.h"
#include "ui/StatsForm.h"
#include "ui/TranslateForm.h"
#include "ui/WindowCatalog.h"

namespace tarnwick::test {

namespace {

const std::uint8_t kAllLanguages[] = {kLanguageEnglish, kLanguageGerman, kLanguageItalian, kLanguageSpanish,
                                      kLanguageFrench};

std::string ResourceDirectory() { return TARNWICK_SOURCE_DIR "/resources"; }

// A language of the shipped files; what it reports lands in `problems`.
std::shared_ptr<TLanguage> ShippedLanguage(std::uint8_t code, std::vector<std::string>* problems = nullptr,
                                           const std::string& resources = ResourceDirectory()) {
  auto language = std::make_shared<TLanguage>(resources);
  language->SetCode(code);
  language->SelectLanguageDirectory();
  language->SetLanguageFile(language->LanguageFilePath());
  if (problems) {
    language->SetProblemReporter(
        [problems](const std::string&, const std::string& text) { problems->push_back(text); });
  }
  return language;
}

TLanguageLines ShippedLines(std::uint8_t code) {
  auto lines = LoadLanguageLines(ShippedLanguage(code)->LanguageFilePath());
  return lines ? *lines : TLanguageLines{};
}

// The entry keys of a file, folded, with the lines of its blocks passed over.
std::set<std::string> EntryKeys(const TLanguageLines& lines, QStringList* unclosedBlocks = nullptr) {
  std::set<std::string> keys;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string key = FoldAscii(LineKey(lines[i]));
    if (key.empty()) continue;
    keys.insert(key);
    if (key.rfind("##", 0) != 0) continue;
    size_t end = i + 1;
    while (end < lines.size() && FoldAscii(lines[end]) != "##END" && FoldAscii(LineKey(lines[end])).rfind("##", 0) != 0)
      ++end;
    if ((end == lines.size() || FoldAscii(lines[end]) != "##END") && unclosedBlocks) {
      *unclosedBlocks << QString::fromStdString(key);
    }
    i = end;
  }
  return keys;
}

std::set<QString> ShownKeys(QWidget& window) {
  std::set<QString> keys;
  for (auto& property : TextProperties(window)) {
    const QString value = property.Get();
    if (value.startsWith(QLatin1Char('#'))) keys.insert(value);
  }
  return keys;
}

// Every "#..." string literal, outside comments, in the parts of the program that show texts: the
// windows, the desktop integration and the program's start (the Qt-free core shows none).
std::set<QString> SourceKeys() {
  std::set<QString> keys;
  const QRegularExpression literal(QStringLiteral("\"(#[^\"\\\\]+)\""));
  const QRegularExpression colour(QStringLiteral("^#[0-9A-Fa-f]{3,8}$"));
  for (const char* part : {"ui", "desktop", "app"}) {
    QDirIterator files(QStringLiteral(TARNWICK_SOURCE_DIR "/src/") + QLatin1String(part),
                       {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
      QFile file(files.next());
      if (!file.open(QIODevice::ReadOnly)) continue;
      for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QStringLiteral("//"))) continue;
        auto matches = literal.globalMatch(line);
        while (matches.hasNext()) {
          const QString key = matches.next().captured(1);
          if (!colour.match(key).hasMatch()) keys.insert(key);
        }
      }
    }
  }
  return keys;
}

// Everything a translated window shows, with the hints.
QStringList ShownTexts(QWidget& window) {
  QStringList texts;
  for (auto& property : TextProperties(window)) texts << property.Get();
  return texts;
}

// The texts of `from` that `to` does not have: what would betray a window left in `from`.
std::set<QString> TextsOnlyIn(std::uint8_t from, std::uint8_t to) {
  std::set<QString> toTexts;
  for (const auto& line : ShippedLines(to)) toTexts.insert(QString::fromStdString(std::string(LineText(line))));
  std::set<QString> only;
  for (const auto& line : ShippedLines(from)) {
    if (LineKey(line).empty()) continue;
    const QString text = QString::fromStdString(std::string(LineText(line)));
    if (!text.isEmpty() && !toTexts.count(text)) only.insert(text);
  }
  return only;
}

QStringList LeftOver(QWidget& window, const std::set<QString>& oldTexts) {
  QStringList left;
  for (const QString& text : ShownTexts(window)) {
    if (oldTexts.count(text)) left << text;
  }
  return left;
}

}  // namespace

class TranslationTest : public QObject {
  Q_OBJECT

 private slots:
  void everyKeyShownOrUsedHasAnEntryInEveryFile() {
    TFormFixture fixture(kTestPort, false);
    std::set<QString> keys = ShownKeys(fixture.Form());
    for (const auto& entry : ProgramWindows()) {
      auto window = entry.Make(fixture.Form());
      const auto shown = ShownKeys(*window);
      keys.insert(shown.begin(), shown.end());
    }
    const auto used = SourceKeys();
    // The scan finds the messages: a broken scan must not pass for a complete file.
    for (const char* message :
         {"##errBind", "##ShutdownMsg", "#errBadIP", "#errPatExistsCap", "#ErrorMsg", "#InformationMsg"}) {
      QVERIFY2(used.count(QString::fromLatin1(message)), message);
    }
    QVERIFY(keys.count(QStringLiteral("#Proxy Setup")) && keys.count(QStringLiteral("#HAllow external access")) &&
            keys.count(QStringLiteral("#Statistic")) && keys.count(QStringLiteral("#Deutsch")));
    keys.insert(used.begin(), used.end());

    for (std::uint8_t code : kAllLanguages) {
      const auto lines = ShippedLines(code);
      QVERIFY2(!lines.empty(), LanguageDirectoryName(code).c_str());
      QStringList missing;
      for (const QString& key : keys) {
        // A key ending in a blank is the front of numbered keys, as "##Tip " is.
        const std::string wanted =
            key.endsWith(QLatin1Char(' ')) ? (key + QLatin1Char('1')).toStdString() : key.toStdString();
        if (!FindKeyLine(lines, FoldAscii(wanted))) missing << key;
      }
      QVERIFY2(missing.isEmpty(), qPrintable(QString::fromStdString(LanguageDirectoryName(code)) + ": " +
                                             missing.join(QStringLiteral(" | "))));
    }
  }

  void theFiveFilesHoldTheSameKeys() {
    const auto english = EntryKeys(ShippedLines(kLanguageEnglish));
    int tips = 0;
    while (english.count("##TIP " + std::to_string(tips + 1))) ++tips;
    QVERIFY(tips >= 5);
    for (std::uint8_t code : kAllLanguages) {
      const QString name = QString::fromStdString(LanguageDirectoryName(code));
      QStringList unclosed;
      const auto keys = EntryKeys(ShippedLines(code), &unclosed);
      QVERIFY2(unclosed.isEmpty(), qPrintable(name + ": blocks without ##END: " + unclosed.join(QStringLiteral(", "))));
      QStringList onlyHere, onlyEnglish;
      for (const auto& key : keys) {
        if (!english.count(key)) onlyHere << QString::fromStdString(key);
      }
      for (const auto& key : english) {
        if (!keys.count(key)) onlyEnglish << QString::fromStdString(key);
      }
      QVERIFY2(onlyHere.isEmpty(),
               qPrintable(name + " has keys English lacks: " + onlyHere.join(QStringLiteral(" | "))));
      QVERIFY2(onlyEnglish.isEmpty(), qPrintable(name + " lacks: " + onlyEnglish.join(QStringLiteral(" | "))));
    }
  }

  // The way back from a text to its key takes the first entry with that text; two keys may share a
  // text only where they share it in every language, or a switch would give a control the other's.
  void sharedTextsAreSharedInEveryLanguage() {
    std::map<std::uint8_t, TLanguageLines> files;
    for (std::uint8_t code : kAllLanguages) files[code] = ShippedLines(code);
    for (std::uint8_t code : kAllLanguages) {
      std::map<std::string, std::string> firstKeyOfText;
      for (const auto& line : files[code]) {
        const std::string key(LineKey(line));
        const std::string text = FoldAscii(LineText(line));
        if (key.empty() || key.rfind("##", 0) == 0) continue;
        const auto [found, added] = firstKeyOfText.emplace(text, key);
        if (added) continue;
        for (std::uint8_t other : kAllLanguages) {
          QVERIFY2(LookUpText(files[other], found->second) == LookUpText(files[other], key),
                   qPrintable(QString::fromStdString(found->second + " and " + key + " share a text in " +
                                                     LanguageDirectoryName(code) + " but not in " +
                                                     LanguageDirectoryName(other))));
        }
      }
    }
  }

  void noWindowShowsAKeyInAnyLanguage() {
    for (std::uint8_t code : kAllLanguages) {
      const QString name = QString::fromStdString(LanguageDirectoryName(code));
      std::vector<std::string> problems;
      TFormFixture fixture(kTestPort, true, ShippedLanguage(code, &problems));
      auto& form = fixture.Form();
      std::vector<QWidget*> windows = {&form, form.StatsForm()};
      std::vector<std::unique_ptr<QWidget>> others;
      for (const auto& entry : ProgramWindows()) {
        others.push_back(entry.Make(form));
        TranslateForm(*others.back(), form.Language());
        windows.push_back(others.back().get());
      }
      for (QWidget* window : windows) {
        QStringList keys;
        for (const QString& text : ShownTexts(*window)) {
          if (text.startsWith(QLatin1Char('#'))) keys << text;
        }
        QVERIFY2(keys.isEmpty(),
                 qPrintable(name + " " + window->objectName() + ": " + keys.join(QStringLiteral(" | "))));
      }
      QVERIFY(problems.empty());
      // Messages come translated too.
      fixture.AddAcl(QStringLiteral("300.1.2.3"));
      QCOMPARE(fixture.Dialogs().Messages.size(), size_t{1});
      QVERIFY2(!fixture.Dialogs().Messages[0].contains(QLatin1Char('#')), qPrintable(fixture.Dialogs().Messages[0]));
    }
  }

  void aSwitchLeavesNothingOfTheLanguageBefore() {
    std::vector<std::string> problems;
    TFormFixture fixture(kTestPort, true, ShippedLanguage(kLanguageEnglish, &problems));
    auto& form = fixture.Form();
    form.OpenSettings();
    // A caption set at run time to a text of no entry stays as it is.
    auto* logo = form.ProxyPage->LogoImage;
    auto* typed = new QLabel(QStringLiteral("192.0.2.7 is typed"), form.ProxyPage);
    const QString proxyTab = form.MainPages->tabText(0);
    QCOMPARE(proxyTab, QStringLiteral("Proxy Setup"));
    const qint64 englishFlag = form.m_Language->icon().cacheKey();

    form.m_Deutsch->trigger();
    QCOMPARE(form.Language().Code(), kLanguageGerman);
    QCOMPARE(form.Registry().Language, kLanguageGerman);
    QVERIFY(form.isVisible());
    QCOMPARE(form.MainPages->tabText(0), QStringLiteral("Proxy-Einstellungen"));
    QCOMPARE(logo->toolTip(), QStringLiteral("Die Homepage von Tarnwick"));
    QCOMPARE(typed->text(), QStringLiteral("192.0.2.7 is typed"));
    QVERIFY(form.m_Language->icon().cacheKey() != englishFlag);
    const auto english = TextsOnlyIn(kLanguageEnglish, kLanguageGerman);
    QVERIFY(english.count(QStringLiteral("Proxy Setup")));
    QCOMPARE(LeftOver(form, english), QStringList());
    QCOMPARE(LeftOver(*form.StatsForm(), english), QStringList());

    form.m_Francais->trigger();
    QCOMPARE(form.Language().Code(), kLanguageFrench);
    QCOMPARE(form.MainPages->tabText(0), QStringLiteral("Configuration du proxy"));
    const auto german = TextsOnlyIn(kLanguageGerman, kLanguageFrench);
    QCOMPARE(LeftOver(form, german), QStringList());
    QCOMPARE(LeftOver(*form.StatsForm(), german), QStringList());
    QCOMPARE(typed->text(), QStringLiteral("192.0.2.7 is typed"));
    QVERIFY(problems.empty());

    // Windows made from now on, and messages, speak French.
    fixture.AddBlock(QStringLiteral("ads."));
    fixture.AddBlock(QStringLiteral("ADS."));
    QCOMPARE(fixture.Dialogs().Messages.back().section(QLatin1Char('|'), 0, 0), QStringLiteral("Entrée déjà présente"));
  }

  void choosingTheLanguageInUseDoesNothing() {
    QTemporaryDir copy;
    const std::string resources = copy.path().toStdString();
    std::filesystem::copy(ResourceDirectory() + "/LANGUAGE", resources + "/LANGUAGE",
                          std::filesystem::copy_options::recursive);
    std::vector<std::string> problems;
    TFormFixture fixture(kTestPort, true, ShippedLanguage(kLanguageGerman, &problems, resources));
    auto& form = fixture.Form();
    form.OpenSettings();
    const QStringList before = ShownTexts(form);
    // Without its file, any look at it would be reported.
    std::filesystem::remove(resources + "/LANGUAGE/DEU/LANGUAGE.TXT");
    form.SwitchLanguage(kLanguageGerman);
    form.SwitchLanguage(kLanguageUnset);
    QVERIFY(problems.empty());
    QVERIFY(form.isVisible());
    QCOMPARE(ShownTexts(form), before);
    QCOMPARE(form.Language().Code(), kLanguageGerman);

    // Another language does look at it.
    form.SwitchLanguage(kLanguageItalian);
    QVERIFY(!problems.empty());
    QVERIFY(problems[0].find("not found") != std::string::npos);
  }

  // The class table on a small window: what is translated, what keeps the user's data, and the
  // way back for two keys of one text.
  void controlsGiveBackTheFirstKeyOfTheirText() {
    QTemporaryDir dir;
    const std::string oldFile = dir.filePath(QStringLiteral("old.txt")).toStdString();
    const std::string newFile = dir.filePath(QStringLiteral("new.txt")).toStdString();
    std::ofstream(oldFile) << "#One=Same\n#Two=Same\n#HHint=Old hint\n#Item=Old item\n#Tab=Old tab\n#Title=Old title\n";
    std::ofstream(newFile)
        << "#One=Eins\n#Two=Zwei\n#HHint=Neuer Hinweis\n#Item=Neuer Eintrag\n#Tab=Neuer Reiter\n#Title=Neuer Titel\n";
    TLanguage language(std::string{});
    QWidget window;
    window.setWindowTitle(QStringLiteral("#Title"));
    auto* one = new QLabel(QStringLiteral("#One"), &window);
    auto* two = new QLabel(QStringLiteral("#Two"), &window);
    auto* edit = new QLineEdit(QStringLiteral("#One"), &window);
    edit->setToolTip(QStringLiteral("#HHint"));
    auto* list = new QListWidget(&window);
    list->addItem(QStringLiteral("#One"));
    auto* combo = new QComboBox(&window);
    combo->addItem(QStringLiteral("#Item"));
    auto* tabs = new QTabWidget(&window);
    tabs->addTab(new QWidget, QStringLiteral("#Tab"));

    TranslateForm(window, oldFile, language);
    QCOMPARE(language.CurrentLanguageFile(), oldFile);
    QCOMPARE(window.windowTitle(), QStringLiteral("Old title"));
    QCOMPARE(one->text(), QStringLiteral("Same"));
    QCOMPARE(two->text(), QStringLiteral("Same"));
    QCOMPARE(edit->text(), QStringLiteral("#One"));
    QCOMPARE(edit->toolTip(), QStringLiteral("Old hint"));
    QCOMPARE(list->item(0)->text(), QStringLiteral("#One"));
    QCOMPARE(combo->itemText(0), QStringLiteral("Old item"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Old tab"));

    RestoreFormKeys(window, oldFile, language);
    TranslateForm(window, newFile, language);
    QCOMPARE(language.CurrentLanguageFile(), newFile);
    QCOMPARE(one->text(), QStringLiteral("Eins"));
    QCOMPARE(two->text(), QStringLiteral("Eins"));
    QCOMPARE(edit->toolTip(), QStringLiteral("Neuer Hinweis"));
    QCOMPARE(combo->itemText(0), QStringLiteral("Neuer Eintrag"));
    QCOMPARE(tabs->tabText(0), QStringLiteral("Neuer Reiter"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Neuer Titel"));

    // A file that cannot be read leaves the window and the current file as they were.
    TranslateForm(window, dir.filePath(QStringLiteral("missing.txt")).toStdString(), language);
    QCOMPARE(language.CurrentLanguageFile(), newFile);
    QCOMPARE(one->text(), QStringLiteral("Eins"));
  }
};

std::unique_ptr<QObject> MakeTranslationTest() { return std::make_unique<TranslationTest>(); }

}  // namespace tarnwick::test

#include "TranslationTest.moc"
