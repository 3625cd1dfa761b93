// tarnwick_screenshots DIR: renders every window in each of the five languages to PNG files in
// DIR/ENG, DIR/DEU, ... on Qt's offscreen platform, with sample settings and figures, so that their
// layout can be looked at without a display: each page of the settings window, its language menu
// and tray menu, and every window of the program's window list; and, once, the tray icon in its
// three modes at the sizes panels use.

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include "language/Language.h"
#include "platform/IniFile.h"
#include "prefs/RegistryValues.h"
#include "prefs/StoredProperties.h"
#include "ui/MainForm.h"
#include "ui/ModePictures.h"
#include "ui/TranslateForm.h"
#include "ui/UserDialogs.h"
#include "ui/WindowCatalog.h"

namespace {

using namespace tarnwick;

// Fresh-install settings plus one entry in each of the other lists.
std::string SampleSettings() {
  return FreshInstallSettingsText() +
         "\n[Corvane.RedirList_Items]\nCount=2\nItem0=<casino>\nItem1=example.net/old/\n"
         "\n[Corvane.RedirListStates_Strings]\nCount=2\nItem0=1|1|https://tarnwick.example.org/|Og==\n"
         "Item1=1|2|https://example.org/new/|Og==\n"
         "\n[Corvane.ACLList_Items]\nCount=2\nItem0=127.0.0.1\nItem1=192.0.2.15\n"
         "\n[Corvane.ACLListStates_Strings]\nCount=2\nItem0=1|0|Og==\nItem1=0|2|dXNlcjpzZWNyZXQ=\n";
}

bool Save(QWidget& window, const QString& path) {
  window.show();
  QApplication::processEvents();
  const bool saved = window.grab().save(path, "PNG");
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toLocal8Bit().constData());
  return saved;
}

// The three mode pictures at 16, 22, 32 and 64 pixels on a dark panel strip.
bool SaveTrayModes(const QString& directory) {
  const struct {
    TTrayMode Mode;
    const char* Name;
  } modes[] = {{TTrayMode::Normal, "normal"}, {TTrayMode::Offline, "offline"}, {TTrayMode::PassThru, "passthru"}};
  QDir().mkpath(directory);
  bool ok = true;
  for (const auto& entry : modes) {
    QPixmap strip(16 + 22 + 32 + 64 + 5 * 8, 80);
    strip.fill(QColor(0x2e, 0x34, 0x36));
    QPainter painter(&strip);
    int x = 8;
    for (const int size : {16, 22, 32, 64}) {
      painter.drawPixmap(x, (80 - size) / 2, ModeIcon(entry.Mode).pixmap(size, size));
      x += size + 8;
    }
    painter.end();
    const QString path = QStringLiteral("%1/tray-%2.png").arg(directory, QString::fromLatin1(entry.Name));
    const bool saved = strip.save(path, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", path.toLocal8Bit().constData());
    ok &= saved;
  }
  return ok;
}

bool DrawLanguage(std::uint8_t code, const QString& resources, const QString& directory) {
  QDir().mkpath(directory);
  QTemporaryDir home;
  auto language = std::make_shared<TLanguage>(resources.toStdString());
  language->SetCode(code);
  language->SelectLanguageDirectory();
  language->SetLanguageFile(language->LanguageFilePath());
  TMainFormContext context;
  context.SettingsDirectory = home.path().toStdString();
  context.Dialogs = MakeConsoleDialogs();
  context.Language = language;
  TMainForm form(std::move(context));
  TranslateForm(form, *language);
  form.RestoreSettings(TIniFile::InMemory(SampleSettings()));
  form.RestoreListStates();
  form.UpdateLanguageMenu();
  bool ok = true;
  for (int i = 0; i < form.MainPages->count(); ++i) {
    form.MainPages->setCurrentIndex(i);
    ok &= Save(
        form,
        QStringLiteral("%1/main-%2-%3.png").arg(directory).arg(i + 1).arg(form.MainPages->widget(i)->objectName()));
  }
  ok &= Save(*form.m_Language, directory + QStringLiteral("/menu-language.png"));
  form.m_Language->hide();
  form.tm_Passthru->setChecked(true);
  ok &= Save(*form.TrayMenu, directory + QStringLiteral("/tray-menu.png"));
  form.TrayMenu->hide();
  form.hide();
  for (const auto& entry : ProgramWindows()) {
    auto window = entry.Make(form);
    TranslateForm(*window, *language);
    ok &= Save(*window, QStringLiteral("%1/%2.png").arg(directory, entry.Name));
  }
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: tarnwick_screenshots RESOURCE_DIR OUTPUT_DIR\n");
    return 2;
  }
  const QString resources = QString::fromLocal8Bit(argv[1]);
  const QString output = QString::fromLocal8Bit(argv[2]);
  bool ok = SaveTrayModes(output);
  for (std::uint8_t code : {kLanguageEnglish, kLanguageGerman, kLanguageItalian, kLanguageSpanish, kLanguageFrench}) {
    ok &=
        DrawLanguage(code, resources, output + QLatin1Char('/') + QString::fromStdString(LanguageDirectoryName(code)));
  }
  return ok ? 0 : 1;
}
