#pragma once
// TInstanceLock: one running program per settings directory, by an exclusive lock on a file there.
// The lock is the kernel's, so it goes away with the process however the process ends. The holder
// writes its process id into the file, so that a command run beside it can signal it.

#include <string>

#include "platform/FileDescriptor.h"

namespace tarnwick {

class TInstanceLock {
 public:
  // Tries to take the lock on `path` (created if missing).
  explicit TInstanceLock(const std::string& path);
  // False when another process holds it (or the file cannot be opened).
  bool Acquired() const { return File.Valid(); }

  // The process id the holder of the lock at `path` wrote, or 0.
  static int HolderProcessId(const std::string& path);

 private:
  TFileDescriptor File;
};

}  // namespace tarnwick
