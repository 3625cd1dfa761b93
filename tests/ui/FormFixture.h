#pragma once
// Test vocabulary for the settings window: a main window on a temporary settings directory with a
// written TARNWICK.INI, recorded message boxes, and small actions a user would take.

#include <QPushButton>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "prefs/Prefs.h"
#include "ui/DocumentOpener.h"
#include "ui/MainForm.h"
#include "ui/UserDialogs.h"

namespace tarnwick::test {

class TRecordingDialogs : public TUserDialogs {
 public:
  void ShowMessage(TMessageKind, const QString& caption, const QString& text) override {
    Messages.push_back(caption + "|" + text);
  }
  bool AskYesNo(const QString& caption, const QString& text) override {
    Questions.push_back(caption + "|" + text);
    // What happens while the question is open (a signal, the session's end).
    if (WhileAsking) WhileAsking();
    return Decide ? Decide(text) : Answer;
  }
  TAnswer AskYesNoCancel(const QString& caption, const QString& text) override {
    Questions.push_back(caption + "|" + text);
    return ThreeWayAnswer;
  }

  std::vector<QString> Messages;   // "caption|text"
  std::vector<QString> Questions;  // "caption|text"
  bool Answer = false;
  std::function<void()> WhileAsking;
  // When set, answers each Yes/No question by its text instead of Answer.
  std::function<bool(const QString& text)> Decide;
  TAnswer ThreeWayAnswer = TAnswer::Cancel;
};

// The desktop as the tests see it: what was opened and started, with answers chosen by the test.
class TRecordingLauncher : public TDesktopLauncher {
 public:
  bool OpenUrl(const QUrl& url) override {
    Opened.push_back(url.toString());
    return DesktopOpens;
  }
  bool StartDetached(const QString& program, const QStringList& arguments) override {
    Started.push_back(program + " " + arguments.join(' '));
    return true;
  }
  QString Environment(const char* name) const override {
    const auto found = Variables.find(name);
    return found == Variables.end() ? QString() : found->second;
  }
  QString FindProgram(const QString& name) const override {
    return Programs.count(name) != 0 ? QStringLiteral("/usr/bin/") + name : QString();
  }

  std::vector<QString> Opened;
  std::vector<QString> Started;
  bool DesktopOpens = true;
  std::map<std::string, QString> Variables;
  std::map<QString, int> Programs;
};

// The [Corvane] lines every window under test starts with: a port the system picks, so that
// running the server never collides.
inline const char* const kTestPort = "[Corvane]\nPort_Text=0\n";

class TFormFixture {
 public:
  // Writes `ini` as TARNWICK.INI (none when `ini` is null) and makes the window; FormCreate runs
  // when `create` is true.
  // `language` (null: one without a file, whose lookups give the keys) serves every window made here.
  // `prepare` may fill in the window's context (per-user store, tools) before the window is made.
  using TPrepare = std::function<void(TMainFormContext& context, const std::string& home)>;
  explicit TFormFixture(const char* ini = kTestPort, bool create = true, std::shared_ptr<TLanguage> language = nullptr,
                        TPrepare prepare = {});
  ~TFormFixture();

  // A second window on the same settings directory, after this one has gone.
  void Restart(bool create = true);
  // The tips the language file has: "##Tip 1" .. "##Tip <count>".
  int TipCount = 3;
  // Where the per-user store is (TARNWICK.USER in the settings directory).
  std::string UserStorePath() const { return Path("TARNWICK.USER"); }

  TMainForm& Form() { return *Window; }
  TRecordingDialogs& Dialogs() { return *Recorder; }
  TRecordingLauncher& Launcher() { return *Desktop; }
  std::shared_ptr<const TPreparedSettings> Settings() { return Window->Prefs().Settings(); }
  std::string Path(const char* name) const { return Home.filePath(QString::fromLatin1(name)).toStdString(); }
  std::string IniText() const;
  void WriteIni(const std::string& text);
  // The text last written as TARNWICK.INI (with "Port_Text=0" turned into a free port).
  const std::string& WrittenIni() const { return Written; }

  // What a user does.
  void AddBlock(const QString& text);
  void AddSize(const QString& width, const QString& height);
  void AddRedir(const QString& text);
  void AddAcl(const QString& text);
  void Click(QPushButton* button);

 private:
  void Make(bool create);

  QTemporaryDir Home;
  std::shared_ptr<TLanguage> Language;
  TPrepare Prepare;
  std::string Written;
  TRecordingDialogs* Recorder = nullptr;
  TRecordingLauncher* Desktop = nullptr;
  std::unique_ptr<TMainForm> Window;
};

}  // namespace tarnwick::test
