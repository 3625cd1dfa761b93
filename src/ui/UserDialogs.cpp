#include "ui/UserDialogs.h"

#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace tarnwick {

namespace {

class TWindowDialogs : public TUserDialogs {
 public:
  explicit TWindowDialogs(QWidget* parent) : Parent(parent) {}

  void ShowMessage(TMessageKind kind, const QString& caption, const QString& text) override {
    const auto icon = kind == TMessageKind::Error     ? QMessageBox::Critical
                      : kind == TMessageKind::Warning ? QMessageBox::Warning
                                                      : QMessageBox::Information;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, Parent);
    box.exec();
  }

  bool AskYesNo(const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, Parent);
    return box.exec() == QMessageBox::Yes;
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
};

}  // namespace

std::unique_ptr<TUserDialogs> MakeWindowDialogs(QWidget* parent) { return std::make_unique<TWindowDialogs>(parent); }

std::unique_ptr<TUserDialogs> MakeConsoleDialogs() { return std::make_unique<TConsoleDialogs>(); }

}  // namespace tarnwick
