#pragma once
// TUserDialogs: the message boxes and yes/no questions of the program, behind one interface so that
// the same code runs with windows, headless (messages to stderr, every question answered No) and
// under test (recorded). User-interface thread only.

#include <QString>

#include <memory>

class QWidget;

namespace tarnwick {

enum class TMessageKind { Error, Warning, Information };
enum class TAnswer { Yes, No, Cancel };

class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;
  // A box with one OK button; returns when the user has closed it.
  virtual void ShowMessage(TMessageKind kind, const QString& caption, const QString& text) = 0;
  // A Yes/No question with a question icon; true only for Yes.
  virtual bool AskYesNo(const QString& caption, const QString& text) = 0;
  // A Yes/No/Cancel question; without a way to ask, the answer is Cancel, which changes nothing.
  virtual TAnswer AskYesNoCancel(const QString& caption, const QString& text) {
    ShowMessage(TMessageKind::Information, caption, text);
    return TAnswer::Cancel;
  }
};

// The window a box or prompt opening now belongs over: the modal window open, else the active
// window, else a shown window that stays on top of others (the settings or statistics window),
// else `fallback` when it is shown; null when none of ours is shown.
QWidget* WindowInFront(QWidget* fallback = nullptr);

// Makes `dialog` a child of the window in front, so that it opens above it and takes the input
// there; over a window that stays on top, the dialog stays on top as well.
void PlaceOverWindowInFront(QWidget& dialog, QWidget* fallback = nullptr);

// Modal message boxes over the window in front (`parent` when no window of ours is shown).
std::unique_ptr<TUserDialogs> MakeWindowDialogs(QWidget* parent = nullptr);
// One line per message on stderr; every question is answered No.
std::unique_ptr<TUserDialogs> MakeConsoleDialogs();

}  // namespace tarnwick
