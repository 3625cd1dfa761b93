#include "ui/TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QTimer>

namespace tarnwick {

TTrayIcon::TTrayIcon(QMenu* menu, QObject* parent)
    : QObject(parent),
      Icon(new QSystemTrayIcon(this)),
      ClickTimer(new QTimer(this)),
      AnimationTimer(new QTimer(this)),
      Menu(menu),
      Frames(BusyFrames()) {
  setObjectName(QStringLiteral("TrayIcon"));
  Icon->setObjectName(QStringLiteral("TrayIconSys"));
  ClickTimer->setObjectName(QStringLiteral("ClickTimer"));
  ClickTimer->setSingleShot(true);
  AnimationTimer->setObjectName(QStringLiteral("AnimationTimer"));
  AnimationTimer->setInterval(150);
  Icon->setIcon(ModeIcon(Mode));
  Icon->setContextMenu(Menu);
  connect(Icon, &QSystemTrayIcon::activated, this, &TTrayIcon::Activated);
  connect(ClickTimer, &QTimer::timeout, this, [this] {
    ClickTimer->stop();
    emit SingleClicked();
  });
  connect(AnimationTimer, &QTimer::timeout, this, &TTrayIcon::NextFrame);
}

void TTrayIcon::SetActive(bool active) {
  Active = active;
  Icon->setVisible(active);
}

void TTrayIcon::SetMode(TTrayMode mode) {
  Mode = mode;
  if (!IsAnimated()) Icon->setIcon(ModeIcon(mode));
}

void TTrayIcon::SetAnimated(bool animated) {
  if (animated == IsAnimated()) return;
  if (animated) {
    FrameIndex = 0;
    AnimationTimer->start();
    NextFrame();
  } else {
    AnimationTimer->stop();
    Icon->setIcon(ModeIcon(Mode));
  }
}

bool TTrayIcon::IsAnimated() const { return AnimationTimer->isActive(); }

void TTrayIcon::NextFrame() {
  if (Frames.empty()) return;
  Icon->setIcon(Frames[FrameIndex]);
  FrameIndex = (FrameIndex + 1) % Frames.size();
}

void TTrayIcon::SetMenuAttached(bool attached) { Icon->setContextMenu(attached ? Menu : nullptr); }

bool TTrayIcon::MenuAttached() const { return Icon->contextMenu() != nullptr; }

void TTrayIcon::StopClickTimer() { ClickTimer->stop(); }

bool TTrayIcon::ClickPending() const { return ClickTimer->isActive(); }

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Context:
      // The menu opens by itself; a right click is no click.
      return;
    case QSystemTrayIcon::DoubleClick:
      ClickTimer->stop();
      emit DoubleClicked();
      return;
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
      // The desktop's double-click time may have changed since the last click.
      ClickTimer->start(QApplication::doubleClickInterval());
      return;
  }
}

}  // namespace tarnwick
