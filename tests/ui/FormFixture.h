#pragma once
// Test vocabulary for the settings window: a main window on a temporary settings directory with a
// written TARNWICK.INI, recorded message boxes, and small actions a user would take.

#include <QPushButton>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include "prefs/Prefs.h"
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
    return Answer;
  }

  std::vector<QString> Messages;   // "caption|text"
  std::vector<QString> Questions;  // "caption|text"
  bool Answer = false;
};

// The [Corvane] lines every window under test starts with: a port the system picks, so that
// running the server never collides.
inline const char* const kTestPort = "[Corvane]\nPort_Text=0\n";

class TFormFixture {
 public:
  // Writes `ini` as TARNWICK.INI (none when `ini` is null) and makes the window; FormCreate runs
  // when `create` is true.
  // `language` (null: one without a file, whose lookups give the keys) serves every window made here.
  explicit TFormFixture(const char* ini = kTestPort, bool create = true, std::shared_ptr<TLanguage> language = nullptr);
  ~TFormFixture();

  // A second window on the same settings directory, after this one has gone.
  void Restart(bool create = true);

  TMainForm& Form() { return *Window; }
  TRecordingDialogs& Dialogs() { return *Recorder; }
  std::shared_ptr<const TPrefsSettings> Settings() { return Window->Prefs().Settings(); }
  std::string Path(const char* name) const { return Home.filePath(QString::fromLatin1(name)).toStdString(); }
  std::string IniText() const;
  void WriteIni(const std::string& text) const;

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
  TRecordingDialogs* Recorder = nullptr;
  std::unique_ptr<TMainForm> Window;
};

}  // namespace tarnwick::test
