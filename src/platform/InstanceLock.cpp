#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>

namespace tarnwick {

TInstanceLock::TInstanceLock(const std::string& path) {
  TFileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (file.Valid() && ::flock(file.Get(), LOCK_EX | LOCK_NB) == 0) File = std::move(file);
}

}  // namespace tarnwick
