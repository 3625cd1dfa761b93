#include "engine/BodyRelay.h"

#include <algorithm>
#include <optional>

#include "platform/Pipe.h"

namespace tarnwick {

namespace {

// A pipe and two system calls per piece cost more than one copy of a body that fits in one piece.
bool WorthSplicing(std::int64_t limit, std::int32_t pieceSize) { return limit < 0 || limit > pieceSize; }

class TRelay {
 public:
  TRelay(TSockStream& from, TSockStream& to, std::int64_t limit, TRelayStop stop, TBuffer& buffer)
      : From(from), To(to), Limit(limit), Stop(stop), Buffer(buffer) {}

  bool More() const { return !Ended && (Limit < 0 || Moved < Limit); }
  std::int64_t Moved = 0;
  bool SourceEnded = false;

  // One piece through user space.
  void Copy() {
    const std::int32_t got = From.ReadBuf(Buffer.Data(), Want());
    SourceEnded = got <= 0;
    if (got <= 0 || To.WriteBuf(Buffer.Data(), got) < got) {
      Ended = true;
      return;
    }
    Moved += got;
  }

  // Pieces through the pipe until the relay is over; false when the kernel cannot splice these
  // streams (found out on the first piece, before anything moved).
  bool Splice() {
    std::optional<TPipe> pipe = TPipe::Open();
    if (!pipe) return false;
    // A peer that has gone would raise SIGPIPE; held back once for the whole body, since each
    // hold costs system calls.
    const TSigpipeBlock quiet;
    while (More()) {
      const TSockStream::TSpliced piece = From.SpliceTo(To, *pipe, Want());
      if (piece.Unsupported && Moved == 0) return false;
      SourceEnded = !piece.Unsupported && piece.Received <= 0;
      if (piece.Unsupported || piece.Received <= 0 || piece.Sent < piece.Received) {
        Ended = true;
        break;
      }
      Moved += piece.Received;
    }
    return true;
  }

 private:
  std::int32_t Want() const {
    if (Stop == TRelayStop::AtLimit && Limit >= 0) {
      return static_cast<std::int32_t>(std::min<std::int64_t>(Limit - Moved, Buffer.Capacity));
    }
    return Buffer.Capacity;
  }

  TSockStream& From;
  TSockStream& To;
  const std::int64_t Limit;
  const TRelayStop Stop;
  TBuffer& Buffer;
  bool Ended = false;
};

}  // namespace

TRelayOutcome RelayBytes(TSockStream& from, TSockStream& to, std::int64_t limit, TRelayStop stop, TBuffer& buffer,
                         TRelayPath path) {
  TRelay relay(from, to, limit, stop, buffer);
  // Bytes that came with the head are in user space already.
  while (relay.More() && !from.InBuffer.Empty()) relay.Copy();
  if (relay.More() && path == TRelayPath::ZeroCopyWherePossible &&
      WorthSplicing(limit - relay.Moved, buffer.Capacity) && relay.Splice()) {
    return {relay.Moved, relay.SourceEnded};
  }
  while (relay.More()) relay.Copy();
  return {relay.Moved, relay.SourceEnded};
}

}  // namespace tarnwick
