#pragma once
// TFileDescriptor: owns one POSIX file descriptor and closes it exactly once.

#include <unistd.h>

#include <utility>

namespace tarnwick {

class TFileDescriptor {
 public:
  TFileDescriptor() = default;
  explicit TFileDescriptor(int fd) : Fd(fd) {}
  ~TFileDescriptor() { Reset(); }
  TFileDescriptor(TFileDescriptor&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
  TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      Fd = std::exchange(other.Fd, -1);
    }
    return *this;
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  bool Valid() const { return Fd >= 0; }
  int Get() const { return Fd; }
  void Reset(int fd = -1) {
    if (Fd >= 0) ::close(Fd);
    Fd = fd;
  }

 private:
  int Fd = -1;
};

}  // namespace tarnwick
