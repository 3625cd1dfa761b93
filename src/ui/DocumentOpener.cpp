#include "ui/DocumentOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace tarnwick {

namespace {

class TSystemLauncher : public TDesktopLauncher {
 public:
  bool OpenUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
  bool StartDetached(const QString& program, const QStringList& arguments) override {
    return QProcess::startDetached(program, arguments);
  }
  QString Environment(const char* name) const override { return qEnvironmentVariable(name); }
  QString FindProgram(const QString& name) const override { return QStandardPaths::findExecutable(name); }
};

// The editor command the user chose, split into program and arguments; empty when none is set.
QStringList EditorCommand(const TDesktopLauncher& launcher) {
  for (const char* name : {"VISUAL", "EDITOR"}) {
    const QStringList command = QProcess::splitCommand(launcher.Environment(name));
    if (!command.isEmpty()) return command;
  }
  return {};
}

// The terminal emulator the desktop provides: Debian's alternative first, then the ones desktops
// commonly ship. Each of them runs the rest of its command line after "-e".
QString TerminalEmulator(const TDesktopLauncher& launcher) {
  for (const char* name :
       {"x-terminal-emulator", "xdg-terminal", "gnome-terminal", "konsole", "xfce4-terminal", "xterm"}) {
    const QString path = launcher.FindProgram(QString::fromLatin1(name));
    if (!path.isEmpty()) return path;
  }
  return {};
}

}  // namespace

std::unique_ptr<TDesktopLauncher> MakeDesktopLauncher() { return std::make_unique<TSystemLauncher>(); }

void OpenAddress(TDesktopLauncher& launcher, const QString& address) { launcher.OpenUrl(QUrl(address)); }

bool OpenDocument(TDesktopLauncher& launcher, const QString& path) {
  if (launcher.OpenUrl(QUrl::fromLocalFile(path))) return true;
  const QStringList editor = EditorCommand(launcher);
  if (editor.isEmpty()) return false;
  const QString terminal = TerminalEmulator(launcher);
  if (terminal.isEmpty()) return false;
  QStringList arguments{QStringLiteral("-e")};
  arguments << editor << path;
  return launcher.StartDetached(terminal, arguments);
}

}  // namespace tarnwick
