#include "platform/Pipe.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace tarnwick {

std::optional<TPipe> TPipe::Open() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  return TPipe{TFileDescriptor(ends[0]), TFileDescriptor(ends[1])};
}

TSigpipeBlock::TSigpipeBlock() {
  sigset_t sigpipe;
  sigemptyset(&sigpipe);
  sigaddset(&sigpipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &sigpipe, &Previous);
  WasBlocked = sigismember(&Previous, SIGPIPE) == 1;
}

TSigpipeBlock::~TSigpipeBlock() {
  if (WasBlocked) return;  // the signal, if any, is the caller's business
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
    sigset_t sigpipe;
    sigemptyset(&sigpipe);
    sigaddset(&sigpipe, SIGPIPE);
    const timespec now{};
    while (sigtimedwait(&sigpipe, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
}

}  // namespace tarnwick
