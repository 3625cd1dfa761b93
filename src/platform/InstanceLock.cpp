#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

namespace tarnwick {

TInstanceLock::TInstanceLock(const std::string& path) {
  TFileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!file.Valid() || ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) return;
  const std::string pid = std::to_string(::getpid()) + "\n";
  // The id is a convenience for other commands; the lock holds without it.
  if (::ftruncate(file.Get(), 0) == 0) {
    [[maybe_unused]] const auto written = ::pwrite(file.Get(), pid.data(), pid.size(), 0);
  }
  File = std::move(file);
}

int TInstanceLock::HolderProcessId(const std::string& path) {
  TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return 0;
  char text[32] = {};
  const auto got = ::pread(file.Get(), text, sizeof text - 1, 0);
  if (got <= 0) return 0;
  int pid = 0;
  for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9' && pid < 100000000; ++i)
    pid = pid * 10 + (text[i] - '0');
  return pid;
}

}  // namespace tarnwick
