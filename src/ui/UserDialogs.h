#pragma once
// TUserDialogs: the message boxes and yes/no questions of the program, behind one interface so that
// the same code runs with windows, headless (messages to stderr, every question answered No) and
// under test (recorded). User-interface thread only.

#include <QString>

#include <memory>

class QWidget;

namespace tarnwick {

enum class TMessageKind { Error, Warning, Information };

class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;
  // A box with one OK button; returns when the user has closed it.
  virtual void ShowMessage(TMessageKind kind, const QString& caption, const QString& text) = 0;
  // A Yes/No question with a question icon; true only for Yes.
  virtual bool AskYesNo(const QString& caption, const QString& text) = 0;
};

// Modal message boxes over `parent` (may be null).
std::unique_ptr<TUserDialogs> MakeWindowDialogs(QWidget* parent = nullptr);
// One line per message on stderr; every question is answered No.
std::unique_ptr<TUserDialogs> MakeConsoleDialogs();

}  // namespace tarnwick
