#pragma once
// TTrayIcon: the program's icon in the notification area. It shows the picture of the displayed
// mode, cycles through the busy frames (one every 150 ms) while animated, and tells a single click
// from a double click: a click becomes SingleClicked only when no second click has followed within
// the desktop's double-click time, so a double click never counts as a click as well. The right
// button opens the menu and is no click at all.
//
// User-interface thread only.

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <vector>

#include "ui/ModePictures.h"

class QMenu;
class QTimer;

namespace tarnwick {

class TTrayIcon : public QObject {
  Q_OBJECT

 public:
  TTrayIcon(QMenu* menu, QObject* parent);

  // Shown in the notification area (when one exists) exactly while active.
  void SetActive(bool active);
  bool IsActive() const { return Active; }

  void SetMode(TTrayMode mode);
  TTrayMode DisplayedMode() const { return Mode; }
  void SetAnimated(bool animated);
  bool IsAnimated() const;
  // The picture shown now: the mode's, or the current busy frame.
  QIcon CurrentIcon() const { return Icon->icon(); }

  // The exit takes the menu away while it asks its questions, so that the menu cannot start a
  // second command meanwhile.
  void SetMenuAttached(bool attached);
  bool MenuAttached() const;

  // A pending single click is dropped (a double click, the settings opened, the exit).
  void StopClickTimer();
  bool ClickPending() const;

  // What the icon reports to Qt; public so that tests can click without a notification area.
  void Activated(QSystemTrayIcon::ActivationReason reason);

  QSystemTrayIcon* Icon;
  QTimer* ClickTimer;
  QTimer* AnimationTimer;

 signals:
  void SingleClicked();
  void DoubleClicked();

 private:
  void NextFrame();

  QMenu* Menu;
  bool Active = false;
  TTrayMode Mode = TTrayMode::Normal;
  std::vector<QIcon> Frames;
  size_t FrameIndex = 0;
};

}  // namespace tarnwick
