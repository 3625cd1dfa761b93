#include "ui/UserDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace tarnwick {

namespace {

bool StaysOnTop(const QWidget* window) { return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

// A window a box may belong to: not a menu, tool tip or splash screen, which go away by themselves.
QWidget* Ordinary(QWidget* window) {
  if (!window || !window->isVisible()) return nullptr;
  const Qt::WindowType type = window->windowType();
  return type == Qt::Window || type == Qt::Dialog ? window : nullptr;
}

class TWindowDialogs : public TUserDialogs {
 public:
  explicit TWindowDialogs(QWidget* parent) : Parent(parent) {}

  void ShowMessage(TMessageKind kind, const QString& caption, const QString& text) override {
    const auto icon = kind == TMessageKind::Error     ? QMessageBox::Critical
                      : kind == TMessageKind::Warning ? QMessageBox::Warning
                                                      : QMessageBox::Information;
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    PlaceOverWindowInFront(box, Parent);
    box.exec();
  }

  bool AskYesNo(const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No);
    PlaceOverWindowInFront(box, Parent);
    return box.exec() == QMessageBox::Yes;
  }

  TAnswer AskYesNoCancel(const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    Parent);
    const int answer = box.exec();
    return answer == QMessageBox::Yes ? TAnswer::Yes : answer == QMessageBox::No ? TAnswer::No : TAnswer::Cancel;
  }

 private:
  QPointer<QWidget> Parent;
};

// A message of several lines (a language file's block ends each with CR LF) as plain lines.
QByteArray ConsoleText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text.toLocal8Bit();
}

class TConsoleDialogs : public TUserDialogs {
 public:
  void ShowMessage(TMessageKind, const QString& caption, const QString& text) override {
    std::fprintf(stderr, "tarnwick: %s: %s\n", ConsoleText(caption).constData(), ConsoleText(text).constData());
  }

  bool AskYesNo(const QString& caption, const QString& text) override {
    std::fprintf(stderr, "tarnwick: %s: %s (answered No)\n", ConsoleText(caption).constData(),
                 ConsoleText(text).constData());
    return false;
  }

  TAnswer AskYesNoCancel(const QString& caption, const QString& text) override {
    std::fprintf(stderr, "tarnwick: %s: %s (answered Cancel)\n", caption.toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
    return TAnswer::Cancel;
  }
};

}  // namespace

QWidget* WindowInFront(QWidget* fallback) {
  if (QWidget* modal = Ordinary(QApplication::activeModalWidget())) return modal;
  if (QWidget* active = Ordinary(QApplication::activeWindow())) return active;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (Ordinary(window) && StaysOnTop(window)) return window;
  }
  return fallback ? Ordinary(fallback->window()) : nullptr;
}

void PlaceOverWindowInFront(QWidget& dialog, QWidget* fallback) {
  QWidget* front = WindowInFront(fallback);
  if (!front || front == &dialog) return;
  const Qt::WindowFlags flags = dialog.windowFlags();
  dialog.setParent(front, flags);
  if (StaysOnTop(front)) dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

std::unique_ptr<TUserDialogs> MakeWindowDialogs(QWidget* parent) { return std::make_unique<TWindowDialogs>(parent); }

std::unique_ptr<TUserDialogs> MakeConsoleDialogs() { return std::make_unique<TConsoleDialogs>(); }

}  // namespace tarnwick
