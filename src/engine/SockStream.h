#pragma once
// TSockStream: the engine's only way to talk to the network. Reads and writes never raise; they
// report 0 or false. Every byte received or sent is counted into the statistics of `Counters`
// (received bytes go to RecvProxyCnt when the stream's request uses the upstream proxy, else to
// RecvCnt).
//
// Thread use: one thread at a time (the connection's thread, or the accepting thread for a
// listening stream). `Counters`, when given, must outlive the stream.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/Buffer.h"
#include "platform/Pipe.h"
#include "platform/Socket.h"

namespace tarnwick {

class TCorvanePrefs;

class TSockStream : public TCustomWinSocket {
 public:
  // The least room a receive into the input buffer is given.
  static constexpr std::int32_t kLeastReceive = 4096;
  // The input buffer's first size, which most heads fit, and the most it grows to for a longer
  // line: the longest head line allowed (64 KiB) and one receive more.
  static constexpr std::int32_t kInBufferStart = 16 * 1024;
  static constexpr std::int32_t kInBufferSize = 64 * 1024 + kLeastReceive;

  explicit TSockStream(TCorvanePrefs* counters = nullptr, int handle = -1);

  // Unread head bytes first; otherwise one receive of at most n bytes. 0 at end or on error.
  std::int32_t ReadBuf(void* destination, std::int32_t n);
  // One line without its LF and one CR before it. False when no complete line can be had;
  // `line` then keeps its value, and LineTooLong() tells a line longer than the input buffer
  // from the end of the stream.
  bool ReadLine(std::string& line);
  bool LineTooLong() const { return TooLong; }
  // Reads up to n bytes into `target`; 0 when the target cannot take a piece.
  std::int32_t ReadToBuffer(TBuffer& target, std::int32_t n);
  // Bytes sent, 0 on error.
  std::int32_t WriteBuf(const void* source, std::int32_t n);
  // The text and CR LF in one send; true when all of it went out.
  bool WriteLine(std::string_view text);
  // Sends and consumes all of `source`; false when a send fell short.
  bool WriteBuffer(TBuffer& source);
  // What SpliceTo did with one piece.
  struct TSpliced {
    std::int32_t Received = 0;  // bytes taken from this stream; 0 at its end or on an error
    std::int32_t Sent = 0;      // of those, the bytes that reached the other stream
    bool Unsupported = false;   // the kernel cannot splice here: nothing moved, copy instead
  };
  // One receive of at most n bytes passed on to `to` through `pipe` (which must be empty) without
  // coming into user space: ReadBuf and WriteBuf in one, with the same counting. Unread head bytes
  // are not looked at: the caller hands those out with ReadBuf first. `pipe` is empty again after.
  // splice knows no MSG_NOSIGNAL: the caller holds SIGPIPE back (TSigpipeBlock) while it splices.
  TSpliced SpliceTo(TSockStream& to, TPipe& pipe, std::int32_t n);
  // Waits for one connection on a listening stream; null when none came. `errorCode` tells why.
  std::unique_ptr<TSockStream> Accept(int& errorCode);
  // Whether received bytes count as coming through the upstream proxy; off until set.
  void SetReceivedViaProxy(bool viaProxy) { ViaProxy = viaProxy; }

  TBuffer InBuffer{kInBufferStart};

 private:
  // One receive, counted; 0 at end of stream or on error.
  std::int32_t ReceiveCounted(void* destination, std::int32_t n);
  // One receive into the input buffer's free room, counted; 0 at end of stream or on error.
  std::int32_t ReceiveIntoInput();
  void CountReceived(std::int32_t n);
  void CountSent(std::int32_t n);

  TCorvanePrefs* Counters;
  bool ViaProxy = false;
  bool TooLong = false;
};

}  // namespace tarnwick
