#include "ui/PasswordForms.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/SecurityPassword.h"
#include "ui/Widgets.h"

namespace tarnwick {

namespace {

constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

QLineEdit* MakeMaskedEdit(const QString& name, QWidget* parent) {
  auto* edit = MakeEdit(name, parent);
  edit->setEchoMode(QLineEdit::Password);
  edit->setMinimumWidth(200);
  return edit;
}

QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace

TPasswordForm::TPasswordForm(QWidget* parent) : QDialog(parent, kDialogFlags) {
  setObjectName(QStringLiteral("PasswordForm"));
  setWindowTitle(QStringLiteral("#Insert Password"));
  setModal(true);
  PasswordEdit = MakeMaskedEdit(QStringLiteral("PasswordEdit"), this);
  OkButton = MakeButton(QStringLiteral("OkButton"), QStringLiteral("#OK"), this);
  OkButton->setDefault(true);
  CancelButton = MakeButton(QStringLiteral("CancelButton"), QStringLiteral("#Cancel"), this);
  FocusTimer = Named(new QTimer(this), QStringLiteral("FocusTimer"));
  FocusTimer->setInterval(500);

  auto* column = new QVBoxLayout(this);
  column->addWidget(MakeLabel(QStringLiteral("#Insert Password"), PasswordEdit, this));
  column->addWidget(PasswordEdit);
  column->addLayout(ButtonRow(OkButton, CancelButton));
  column->setSizeConstraint(QLayout::SetFixedSize);

  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(PasswordEdit, &QLineEdit::returnPressed, this, &QDialog::accept);
  connect(FocusTimer, &QTimer::timeout, this, &TPasswordForm::FocusTimerTimer);
}

void TPasswordForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  raise();
  activateWindow();
  PasswordEdit->setFocus();
  FocusTimer->start();
}

void TPasswordForm::FocusTimerTimer() {
  if (!isVisible() || isActiveWindow()) return;
  FocusTimer->stop();
  raise();
  activateWindow();
  PasswordEdit->setFocus();
}

TSetPasswordForm::TSetPasswordForm(TSecurityPassword& password, std::function<void()> showDifference, QWidget* parent)
    : QDialog(parent, kDialogFlags),
      Beep(&QApplication::beep),
      Password(password),
      ShowDifference(std::move(showDifference)) {
  setObjectName(QStringLiteral("SetPasswordForm"));
  setWindowTitle(QStringLiteral("#Password settings"));
  setModal(true);
  PasswordEdit = MakeMaskedEdit(QStringLiteral("PasswordEdit"), this);
  ConfirmEdit = MakeMaskedEdit(QStringLiteral("ConfirmEdit"), this);
  OkButton = MakeButton(QStringLiteral("OkButton"), QStringLiteral("#OK"), this);
  CancelButton = MakeButton(QStringLiteral("CancelButton"), QStringLiteral("#Cancel"), this);

  auto* grid = new QGridLayout;
  grid->addWidget(MakeLabel(QStringLiteral("#Insert Password"), PasswordEdit, this), 0, 0);
  grid->addWidget(PasswordEdit, 0, 1);
  grid->addWidget(MakeLabel(QStringLiteral("#Confirm Password"), ConfirmEdit, this), 1, 0);
  grid->addWidget(ConfirmEdit, 1, 1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addLayout(ButtonRow(OkButton, CancelButton));
  column->setSizeConstraint(QLayout::SetFixedSize);

  connect(OkButton, &QPushButton::clicked, this, &TSetPasswordForm::OkClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TSetPasswordForm::OkClick() {
  const QString entry = NormalisePassword(PasswordEdit->text());
  const QString confirmation = NormalisePassword(ConfirmEdit->text());
  if (entry.isEmpty() || confirmation.isEmpty()) return;
  if (entry != confirmation) {
    Beep();
    if (ShowDifference) ShowDifference();
    return;
  }
  if (!Password.Set(entry)) return;
  accept();
}

void TSetPasswordForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter on the OK button is OK; elsewhere it moves on.
      if (focusWidget() == OkButton) {
        OkClick();
      } else if (focusWidget() == CancelButton) {
        reject();
      } else {
        focusNextChild();
      }
      return;
    case Qt::Key_Down:
      focusNextChild();
      return;
    case Qt::Key_Up:
      focusPreviousChild();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace tarnwick
