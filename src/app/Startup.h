#pragma once
// The program's run after the command line and the single-instance check: per-user values, the
// splash, the main window with everything it owns, and the event loop until the exit has saved
// everything. User-interface (main) thread only.

#include <string>

namespace tarnwick {

struct TStartup {
  std::string SettingsDirectory;
  // The program's read-only files: language files, help, licence, icons.
  std::string DataDirectory;
  bool Headless = false;
  // Readable end of a pipe that receives kStopSignalByte for each SIGTERM or SIGINT and
  // kReloadSignalByte for each SIGHUP; -1 for none.
  int StopSignalFd = -1;
};

// Needs a QApplication. Returns the process's exit status.
int RunProgram(const TStartup& startup);

inline constexpr char kStopSignalByte = 1;
inline constexpr char kReloadSignalByte = 2;

// Held by the running program in its settings directory.
inline constexpr char kInstanceLockFileName[] = "tarnwick.lock";

// The file name of the per-user store in the settings directory.
inline constexpr char kUserStoreFileName[] = "TARNWICK.USER";

}  // namespace tarnwick
