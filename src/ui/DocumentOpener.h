#pragma once
// Opening documents and web addresses for the user: the Help commands, the licence and the log
// viewer. The desktop's own choice comes first (QDesktopServices, i.e. xdg-open); where it opens
// nothing, a text file goes to the user's editor ($VISUAL, else $EDITOR) in the terminal emulator
// the desktop provides; where there is none of these, nothing happens and nothing is said.
// User-interface thread only.

#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>

namespace tarnwick {

// The system calls behind opening, so that tests can record them.
class TDesktopLauncher {
 public:
  virtual ~TDesktopLauncher() = default;
  // The desktop's application for the address; false when none took it.
  virtual bool OpenUrl(const QUrl& url) = 0;
  // Starts a program of its own; false when it could not be started.
  virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
  virtual QString Environment(const char* name) const = 0;
  // The full path of a program found on PATH, empty when there is none.
  virtual QString FindProgram(const QString& name) const = 0;
};

std::unique_ptr<TDesktopLauncher> MakeDesktopLauncher();

// Opens a web address in the desktop's browser; errors are ignored.
void OpenAddress(TDesktopLauncher& launcher, const QString& address);
// Opens a file as a document, falling back to the user's editor for text; errors are ignored.
// Returns whether anything was started.
bool OpenDocument(TDesktopLauncher& launcher, const QString& path);

}  // namespace tarnwick
