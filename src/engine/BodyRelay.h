#pragma once
// RelayBytes: a body that no filter reads, passed from one stream to the other as it arrives. Where
// the kernel can, the bytes go between the sockets through a pipe with splice(2) and never enter
// user space; otherwise (or when asked) they are copied through a buffer. Either way the bytes, the
// counters and where the relay stops are the same: pieces of at most the buffer's size, each
// received once and sent whole before the next.
//
// Runs on the connection's thread, on its two streams.

#include <cstdint>

#include "engine/Buffer.h"
#include "engine/SockStream.h"

namespace tarnwick {

enum class TRelayStop {
  AfterCrossingPiece,  // a piece that crosses the limit is passed on whole
  AtLimit,             // no byte beyond the limit is taken from `from`
};

enum class TRelayPath { ZeroCopyWherePossible, CopyOnly };

struct TRelayOutcome {
  std::int64_t Moved = 0;    // bytes passed on whole
  bool SourceEnded = false;  // `from` ended or failed (rather than the limit reached or `to` failing)
};

// Moves bytes until `limit` bytes have gone (limit < 0: until `from` ends), `from` ends or fails,
// or a send to `to` falls short. `buffer` is the copy path's room; its capacity is the piece size.
TRelayOutcome RelayBytes(TSockStream& from, TSockStream& to, std::int64_t limit, TRelayStop stop, TBuffer& buffer,
                         TRelayPath path);

}  // namespace tarnwick
