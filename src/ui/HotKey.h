#pragma once
// TGlobalHotKey: the system-wide Ctrl+Shift+A that opens the settings while the tray icon is not
// shown. On an X11 session it is a key grab on the root window of the X connection Qt uses; the
// key press arrives through a native event filter. Elsewhere (Wayland, the offscreen platform) it
// is unavailable, which is said once on stderr.
//
// The key is taken from other programs only while active: a grab exists exactly between
// SetActive(true) and SetActive(false) (or the object's end).
//
// User-interface thread only.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

namespace tarnwick {

// The stored short-cut value of Ctrl+Shift+A: the key code of "A" with the Shift and Ctrl flags.
inline constexpr int kTrayIconHotkey = 24641;

class TGlobalHotKey : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  explicit TGlobalHotKey(QObject* parent);
  ~TGlobalHotKey() override;

  // Asks for the grab or releases it. Returns whether the key is now taken (false when the
  // session offers no key grabs or another program holds Ctrl+Shift+A).
  bool SetActive(bool active);
  // Whether the program asked for the key, whether or not the session could give it.
  bool IsActive() const { return Wanted; }
  // Whether pressing the keys anywhere on the desktop reaches this program now.
  bool IsGrabbed() const { return Grabbed; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 signals:
  void Pressed();

 private:
  bool Grab();
  void Ungrab();
  void ReportUnavailable(const char* why);

  bool Wanted = false;
  bool Grabbed = false;
  bool Reported = false;
  std::uint8_t KeyCode = 0;
};

}  // namespace tarnwick
