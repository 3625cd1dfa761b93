// tarnwick_screenshots DIR: renders every page of the settings window, the statistics window and
// the About window to PNG files in DIR, on Qt's offscreen platform, with sample settings and
// figures, so that their layout can be looked at without a display.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

#include "platform/IniFile.h"
#include "prefs/StoredProperties.h"
#include "ui/AboutForm.h"
#include "ui/MainForm.h"
#include "ui/StatsForm.h"
#include "ui/UserDialogs.h"

namespace {

// Fresh-install settings plus one entry in each of the other lists.
std::string SampleSettings() {
  return tarnwick::FreshInstallSettingsText() +
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

}  // namespace

int main(int argc, char* argv[]) {
  using namespace tarnwick;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarnwick_screenshots DIR\n");
    return 2;
  }
  const QString directory = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(directory);
  QTemporaryDir home;

  TMainFormContext context;
  context.SettingsDirectory = home.path().toStdString();
  context.Dialogs = MakeConsoleDialogs();
  TMainForm form(std::move(context));
  form.RestoreSettings(TIniFile::InMemory(SampleSettings()));
  form.RestoreListStates();
  bool ok = true;
  for (int i = 0; i < form.MainPages->count(); ++i) {
    form.MainPages->setCurrentIndex(i);
    ok &= Save(form, QStringLiteral("%1/main-%2-%3.png").arg(directory).arg(i + 1).arg(form.MainPages->widget(i)->objectName()));
  }

  TStatsForm stats;
  stats.UpdateDisplay({"FltImagesCnt=312", "FltFormsCnt=4", "FltFramesCnt=17", "FltLayersCnt=2", "FltScriptsCnt=145",
                       "FltTextCnt=9", "FltWindowsCnt=23", "ImgCnt=1024", "ConnCnt=5230", "SentCnt=1536000",
                       "RecvCnt=3221225472", "RecvProxyCnt=0", "SinceDate=Monday, 3 March 2025"},
                      3);
  ok &= Save(stats, directory + QStringLiteral("/statistics.png"));

  TAboutForm about;
  ok &= Save(about, directory + QStringLiteral("/about.png"));
  return ok ? 0 : 1;
}
