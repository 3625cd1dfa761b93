#pragma once
// The two windows of the security password: TPasswordForm, the prompt in front of a protected
// command, and TSetPasswordForm, where the password is set. Both are made for one use and are
// modal over the window the user is looking at. User-interface thread only.

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QTimer;

namespace tarnwick {

class TSecurityPassword;

class TPasswordForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPasswordForm(QWidget* parent = nullptr);

  QLineEdit* PasswordEdit;
  QPushButton* OkButton;
  QPushButton* CancelButton;
  // Takes the focus back once, at the first tick at which the prompt is shown without it, so that
  // a window opening at the same moment cannot leave the user typing elsewhere.
  QTimer* FocusTimer;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FocusTimerTimer();
};

class TSetPasswordForm : public QDialog {
  Q_OBJECT

 public:
  // `showDifference` tells the user that the two entries differ.
  TSetPasswordForm(TSecurityPassword& password, std::function<void()> showDifference, QWidget* parent = nullptr);

  QLineEdit* PasswordEdit;
  QLineEdit* ConfirmEdit;
  QPushButton* OkButton;
  QPushButton* CancelButton;

  // "#OK": both entries empty or one of them empty does nothing; different ones beep and show the
  // error; equal ones become the password and close the window.
  void OkClick();
  // The desktop's warning sound; replaceable so that a test can hear it.
  std::function<void()> Beep;

 protected:
  // Enter and the down arrow go to the next control, the up arrow to the previous one.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TSecurityPassword& Password;
  std::function<void()> ShowDifference;
};

}  // namespace tarnwick
