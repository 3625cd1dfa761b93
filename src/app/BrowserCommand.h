#pragma once
// `tarnwick --browsers on|off`: configures the browsers for the proxy of the settings directory
// without starting it, prints one line per store changed, and gives the exit status.

#include <string>

namespace tarnwick {

int RunBrowserCommand(const std::string& settingsDirectory, bool enable);

}  // namespace tarnwick
