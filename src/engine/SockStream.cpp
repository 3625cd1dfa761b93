#include "engine/SockStream.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"
#include "prefs/Prefs.h"

namespace tarnwick {

TSockStream::TSockStream(TCorvanePrefs* counters, int handle) : TCustomWinSocket(handle), Counters(counters) {}

void TSockStream::CountReceived(std::int32_t n) {
  if (Counters == nullptr || n <= 0) return;
  auto& counter = ViaProxy ? Counters->RecvProxyCnt : Counters->RecvCnt;
  counter.fetch_add(n, std::memory_order_relaxed);
}

void TSockStream::CountSent(std::int32_t n) {
  if (Counters != nullptr && n > 0) Counters->SentCnt.fetch_add(n, std::memory_order_relaxed);
}

std::int32_t TSockStream::ReceiveCounted(void* destination, std::int32_t n) {
  std::int32_t got = 0;
  try {
    got = ReceiveBuf(destination, n);
  } catch (const ESocketError&) {
    return 0;  // reads report failure as the end of the stream
  }
  CountReceived(got);
  return got;
}

std::int32_t TSockStream::ReceiveIntoInput() {
  // All the free room, so that a head and the start of its body usually take one receive.
  const std::int32_t got = ReceiveCounted(InBuffer.Data() + InBuffer.WritePos, InBuffer.Capacity - InBuffer.WritePos);
  InBuffer.WritePos += got;
  return got;
}

std::int32_t TSockStream::ReadBuf(void* destination, std::int32_t n) {
  if (n <= 0) return 0;
  // Bytes from the input buffer were counted when they arrived.
  const std::int32_t buffered = InBuffer.Read(destination, n);
  return buffered > 0 ? buffered : ReceiveCounted(destination, n);
}

bool TSockStream::ReadLine(std::string& line) {
  // Room read from the front is reused, so that a head of many lines can be as long as the buffer.
  auto receiveMore = [this] {
    if (InBuffer.Capacity - InBuffer.WritePos < kLeastReceive) InBuffer.Compact();
    if (InBuffer.Capacity - InBuffer.WritePos < kLeastReceive && InBuffer.Capacity < kInBufferSize) {
      InBuffer.SetCapacity(std::min(kInBufferSize, 2 * InBuffer.Capacity));
    }
    if (InBuffer.Capacity - InBuffer.WritePos < kLeastReceive) {
      TooLong = true;
      return false;
    }
    return ReceiveIntoInput() > 0;
  };
  TooLong = false;
  if (InBuffer.Empty() && !receiveMore()) return false;
  for (;;) {
    const auto unread = InBuffer.Peek();
    const auto lf = std::find(unread.begin(), unread.end(), std::uint8_t{'\n'});
    if (lf != unread.end()) {
      size_t length = static_cast<size_t>(lf - unread.begin());
      if (length > 0 && unread[length - 1] == '\r') --length;
      line.assign(reinterpret_cast<const char*>(unread.data()), length);
      InBuffer.Skip(static_cast<std::int32_t>(lf - unread.begin()) + 1);
      return true;
    }
    if (!receiveMore()) return false;
  }
}

std::int32_t TSockStream::ReadToBuffer(TBuffer& target, std::int32_t n) {
  std::array<std::uint8_t, kLeastReceive> piece;
  std::int32_t total = 0;
  while (total < n) {
    const std::int32_t got = ReadBuf(piece.data(), std::min(kLeastReceive, n - total));
    if (got == 0) break;
    if (target.Write(piece.data(), got) < got) return 0;
    total += got;
  }
  return total;
}

std::int32_t TSockStream::WriteBuf(const void* source, std::int32_t n) {
  if (n <= 0) return 0;
  std::int32_t sent = 0;
  try {
    sent = SendBuf(source, n);
  } catch (const ESocketError&) {
    sent = 0;  // writes report failure as nothing sent
  }
  CountSent(sent);
  return sent;
}

bool TSockStream::WriteLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  const auto length = static_cast<std::int32_t>(line.size());
  return WriteBuf(line.data(), length) == length;
}

bool TSockStream::WriteBuffer(TBuffer& source) {
  const auto unread = source.Peek();
  const auto n = static_cast<std::int32_t>(unread.size());
  const bool sent = WriteBuf(unread.data(), n) == n;
  if (sent) source.Clear();
  return sent;
}

namespace {

// splice(2) without EINTR; -1 with errno otherwise.
ssize_t SpliceOnce(int from, int to, std::size_t n) {
  for (;;) {
    const ssize_t moved = ::splice(from, nullptr, to, nullptr, n, SPLICE_F_MOVE);
    if (moved >= 0 || errno != EINTR) return moved;
  }
}

// The errors that mean "these descriptors cannot be spliced", as opposed to a failing connection.
bool SpliceUnsupported(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

}  // namespace

TSockStream::TSpliced TSockStream::SpliceTo(TSockStream& to, TPipe& pipe, std::int32_t n) {
  TSpliced result;
  if (n <= 0 || !IsOpen() || !to.IsOpen()) return result;
  const ssize_t got = SpliceOnce(Handle, pipe.WriteEnd.Get(), static_cast<std::size_t>(n));
  if (got < 0) {
    result.Unsupported = SpliceUnsupported(errno);
    return result;  // any other failure reads as the end of the stream, as in ReadBuf
  }
  result.Received = static_cast<std::int32_t>(got);
  CountReceived(result.Received);
  while (result.Sent < result.Received) {
    const ssize_t sent =
        SpliceOnce(pipe.ReadEnd.Get(), to.Handle, static_cast<std::size_t>(result.Received - result.Sent));
    if (sent <= 0) break;
    result.Sent += static_cast<std::int32_t>(sent);
  }
  to.CountSent(result.Sent);
  return result;
}

std::unique_ptr<TSockStream> TSockStream::Accept(int& errorCode) {
  std::lock_guard lock(Lock());
  sockaddr_storage peer{};
  const int handle = AcceptHandle(errorCode, peer);
  if (handle < 0) return nullptr;
  auto accepted = std::make_unique<TSockStream>(Counters);
  accepted->AdoptAccepted(handle, *this, peer);
  return accepted;
}

}  // namespace tarnwick
