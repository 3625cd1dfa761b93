#pragma once
// TPipe: a kernel pipe, both ends owned, for moving bytes between two sockets with splice(2)
// without passing them through user space. TSigpipeBlock: keeps a write into a socket the peer has
// closed from raising SIGPIPE on this thread while it lives (splice has no MSG_NOSIGNAL).
//
// Both belong to one thread.

#include <signal.h>

#include <cstddef>
#include <optional>

#include "platform/FileDescriptor.h"

namespace tarnwick {

struct TPipe {
  // Both ends close-on-exec; nothing when the system has no pipe to give (descriptors used up).
  static std::optional<TPipe> Open();

  TFileDescriptor ReadEnd;
  TFileDescriptor WriteEnd;
};

class TSigpipeBlock {
 public:
  TSigpipeBlock();
  // Takes back a SIGPIPE raised meanwhile, then restores the thread's signal mask.
  ~TSigpipeBlock();
  TSigpipeBlock(const TSigpipeBlock&) = delete;
  TSigpipeBlock& operator=(const TSigpipeBlock&) = delete;

 private:
  sigset_t Previous;
  bool WasBlocked = false;
};

}  // namespace tarnwick
