#include "engine/Tunnel.h"

#include <vector>

namespace tarnwick {

namespace {

constexpr std::int32_t kPieceSize = 65536;

// One direction of the tunnel.
struct TDirection {
  TSockStream& From;
  TSockStream& To;
  std::int64_t& Count;
  bool Open = true;

  // Moves what `From` has (one read); false when that direction is over or the receiver is gone.
  bool Pass(std::vector<std::uint8_t>& piece) {
    const std::int32_t got = From.ReadBuf(piece.data(), kPieceSize);
    if (got <= 0) {
      Open = false;
      To.ShutdownSending();  // the half-close, passed on
      return true;
    }
    if (To.WriteBuf(piece.data(), got) < got) return false;
    Count += got;
    return true;
  }

  // Bytes that arrived behind a head and wait in the stream's own buffer.
  bool PassHeld(std::vector<std::uint8_t>& piece) {
    while (!From.InBuffer.Empty()) {
      if (!Pass(piece)) return false;
    }
    return true;
  }
};

}  // namespace

TTunnelCounts RelayTunnel(TSockStream& client, TSockStream& server, int idleMs) {
  TTunnelCounts counts;
  std::vector<std::uint8_t> piece(kPieceSize);
  TDirection up{client, server, counts.ToServer};
  TDirection down{server, client, counts.ToClient};
  if (!up.PassHeld(piece) || !down.PassHeld(piece)) return counts;
  while (up.Open || down.Open) {
    const int ready = WaitReadable(up.Open ? &client : nullptr, down.Open ? &server : nullptr, idleMs);
    if (ready == 0) break;
    // A receiver that cannot take bytes any more ends the whole tunnel: nobody would read the rest.
    if ((ready & 1) != 0 && !up.Pass(piece)) break;
    if ((ready & 2) != 0 && !down.Pass(piece)) break;
  }
  return counts;
}

}  // namespace tarnwick
