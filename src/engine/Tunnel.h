#pragma once
// The relay of an HTTPS tunnel: after the proxy has answered a CONNECT, bytes pass both ways
// untouched until both sides have finished. A side that closes its sending half has that passed
// on (the other side's socket is shut for sending), and the other direction goes on until it ends
// too. Bytes go through the streams' ReadBuf and WriteBuf, so the statistics count them as for
// any other request. Runs on the connection's thread; blocks until the tunnel is over.

#include <cstdint>

#include "engine/SockStream.h"

namespace tarnwick {

struct TTunnelCounts {
  std::int64_t ToServer = 0;
  std::int64_t ToClient = 0;
};

// Bytes already read into either stream's InBuffer (sent right behind a head) go first. A tunnel
// in which no byte moves either way for `idleMs` (negative: no limit) is over.
TTunnelCounts RelayTunnel(TSockStream& client, TSockStream& server, int idleMs = -1);

}  // namespace tarnwick
