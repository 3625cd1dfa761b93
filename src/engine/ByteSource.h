#pragma once
// TByteSource: where a reader takes bytes from, one piece at a time (a response body from the
// server, a decoder over it, a string in a test). One thread at a time.

#include <cstdint>
#include <string_view>

namespace tarnwick {

class TByteSource {
 public:
  virtual ~TByteSource() = default;
  // Up to n bytes into `into`; 0 at the end of the source (or when it failed).
  virtual std::int32_t Read(std::uint8_t* into, std::int32_t n) = 0;
};

// The bytes of a view, handed out in pieces of at most `piece` bytes (tests and fuzzing use small
// pieces to reach every split point). The viewed bytes must outlive the source.
class TMemorySource : public TByteSource {
 public:
  explicit TMemorySource(std::string_view bytes, std::int32_t piece = 65536) : Bytes(bytes), Piece(piece) {}
  std::int32_t Read(std::uint8_t* into, std::int32_t n) override;

 private:
  std::string_view Bytes;
  std::int32_t Piece;
};

}  // namespace tarnwick
