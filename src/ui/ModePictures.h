#pragma once
// The pictures of the program's three modes and the frames of the busy animation, drawn as SVG
// (resources/icons, compiled into the program) and rendered by Qt at whatever size the tray host,
// the window manager or the task bar asks for. User-interface thread only.

#include <QIcon>

#include <vector>

namespace tarnwick {

// The displayed mode: the index the icons carry.
enum class TTrayMode { Normal = 0, Offline = 1, PassThru = 2 };

QIcon ModeIcon(TTrayMode mode);
// The frames the tray icon cycles through while connections are open in normal mode.
std::vector<QIcon> BusyFrames();

}  // namespace tarnwick
