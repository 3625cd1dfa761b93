#include "ui/HotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

namespace tarnwick {

namespace {

// Caps Lock and Num Lock must not hide the combination, so each is grabbed with and without them.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
// The modifiers that make another combination (Alt, Super) and so must be absent.
constexpr std::uint16_t kSignificant = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

struct TX11 {
  Display* display = nullptr;
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
};

TX11 X11Session() {
  TX11 x11;
  auto* native = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!native) return x11;
  x11.display = native->display();
  x11.connection = native->connection();
  if (!x11.display || !x11.connection) return {};
  x11.root = static_cast<xcb_window_t>(DefaultRootWindow(x11.display));
  return x11;
}

}  // namespace

TGlobalHotKey::TGlobalHotKey(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("TrayIconHotkey")); }

TGlobalHotKey::~TGlobalHotKey() { SetActive(false); }

bool TGlobalHotKey::SetActive(bool active) {
  Wanted = active;
  if (active && !Grabbed) Grabbed = Grab();
  if (!active && Grabbed) Ungrab();
  return Grabbed;
}

bool TGlobalHotKey::Grab() {
  const TX11 x11 = X11Session();
  if (!x11.connection) {
    ReportUnavailable("the session offers no key grabs (not X11)");
    return false;
  }
  KeyCode = static_cast<std::uint8_t>(XKeysymToKeycode(x11.display, XK_a));
  if (KeyCode == 0) {
    ReportUnavailable("the keyboard has no key A");
    return false;
  }
  bool refused = false;
  for (const std::uint16_t lock : kLockVariants) {
    const auto cookie = xcb_grab_key_checked(x11.connection, 1, x11.root, kCtrlShift | lock, KeyCode,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    if (xcb_generic_error_t* error = xcb_request_check(x11.connection, cookie)) {
      refused = true;
      std::free(error);
    }
  }
  if (refused) {
    // Another program holds (part of) the combination; what was taken is given back.
    for (const std::uint16_t lock : kLockVariants) xcb_ungrab_key(x11.connection, KeyCode, x11.root, kCtrlShift | lock);
    xcb_flush(x11.connection);
    ReportUnavailable("another program holds Ctrl+Shift+A");
    return false;
  }
  QCoreApplication::instance()->installNativeEventFilter(this);
  return true;
}

void TGlobalHotKey::Ungrab() {
  Grabbed = false;
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
  const TX11 x11 = X11Session();
  if (!x11.connection || xcb_connection_has_error(x11.connection)) return;
  for (const std::uint16_t lock : kLockVariants) xcb_ungrab_key(x11.connection, KeyCode, x11.root, kCtrlShift | lock);
  xcb_flush(x11.connection);
}

void TGlobalHotKey::ReportUnavailable(const char* why) {
  if (Reported) return;
  Reported = true;
  std::fprintf(stderr, "tarnwick: the hot key Ctrl+Shift+A is not available: %s\n", why);
}

bool TGlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (!Grabbed || eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
  const auto* press = static_cast<const xcb_key_press_event_t*>(message);
  if (press->detail != KeyCode || (press->state & kSignificant) != kCtrlShift) return false;
  // The command opens a window; it runs after the event has been dealt with, not inside Qt's
  // event dispatch.
  QMetaObject::invokeMethod(this, &TGlobalHotKey::Pressed, Qt::QueuedConnection);
  return true;
}

}  // namespace tarnwick
