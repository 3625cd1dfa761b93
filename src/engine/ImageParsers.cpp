#include "engine/ImageParsers.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarnwick {

namespace {

// A read cursor that never passes the end of its bytes.
class TCursor {
 public:
  explicit TCursor(std::span<const std::uint8_t> bytes) : Bytes(bytes) {}

  bool Byte(std::uint8_t& b) {
    if (Left() < 1) return false;
    b = Bytes[Pos++];
    return true;
  }
  bool BigEndian16(std::uint16_t& v) {
    if (Left() < 2) return false;
    v = static_cast<std::uint16_t>(Bytes[Pos] << 8 | Bytes[Pos + 1]);
    Pos += 2;
    return true;
  }
  bool LittleEndian16(std::uint16_t& v) {
    if (Left() < 2) return false;
    v = static_cast<std::uint16_t>(Bytes[Pos] | Bytes[Pos + 1] << 8);
    Pos += 2;
    return true;
  }
  bool Skip(size_t n) {
    if (Left() < n) return false;
    Pos += n;
    return true;
  }
  size_t Left() const { return Bytes.size() - Pos; }

 private:
  std::span<const std::uint8_t> Bytes;
  size_t Pos = 0;
};

bool IsStartOfFrame(std::uint8_t marker) {
  switch (marker) {
    case 0xC0:
    case 0xC1:
    case 0xC2:
    case 0xC3:
    case 0xC5:
    case 0xC6:
    case 0xC7:
    case 0xC9:
    case 0xCA:
    case 0xCB:
    case 0xCD:
    case 0xCE:
    case 0xCF:
      return true;
    default:
      return false;
  }
}

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kGifTrailer = 0x3B;
constexpr std::array<std::uint8_t, 3> kGraphicControl = {0x21, 0xF9, 0x04};
constexpr std::array<std::uint8_t, 14> kLoopExtension = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S',
                                                         'C',  'A',  'P',  'E', '2', '.', '0'};
// From the extension's start to the loop count: 14 bytes of header, then the sub-block 03 01.
constexpr size_t kLoopCountOffset = 16;

// Offset of the first occurrence of `pattern` at or after `from`, or bytes.size().
template <size_t N>
size_t Find(std::span<const std::uint8_t> bytes, const std::array<std::uint8_t, N>& pattern, size_t from) {
  if (from > bytes.size()) return bytes.size();
  const auto found =
      std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), pattern.begin(), pattern.end());
  return static_cast<size_t>(found - bytes.begin());
}

}  // namespace

bool GifSize(std::span<const std::uint8_t> bytes, TPictureSize& size) {
  if (bytes.size() < 10) return false;
  if (std::memcmp(bytes.data(), "GIF87a", 6) != 0 && std::memcmp(bytes.data(), "GIF89a", 6) != 0) return false;
  TCursor cursor(bytes.subspan(6));
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  if (!cursor.LittleEndian16(width) || !cursor.LittleEndian16(height)) return false;
  size = {width, height};
  return true;
}

bool JpegSize(std::span<const std::uint8_t> bytes, TPictureSize& size) {
  TCursor cursor(bytes);
  for (;;) {
    std::uint8_t b = 0;
    do {
      if (!cursor.Byte(b)) return false;
    } while (b != 0xFF);
    std::uint8_t marker = 0;
    if (!cursor.Byte(marker)) return false;
    if (IsStartOfFrame(marker)) {
      std::uint16_t height = 0;
      std::uint16_t width = 0;
      if (!cursor.Skip(3) || !cursor.BigEndian16(height) || !cursor.BigEndian16(width)) return false;
      size = {width, height};
      return true;
    }
    if (marker == kStartOfImage) continue;
    std::uint16_t length = 0;
    // The length counts its own two bytes; anything less is a damaged file, not a segment.
    if (!cursor.BigEndian16(length) || length < 2 || !cursor.Skip(length - 2u)) return false;
  }
}

bool GifSize(const TBuffer& buffer, TPictureSize& size) { return GifSize(buffer.Peek(), size); }

bool JpegSize(const TBuffer& buffer, TPictureSize& size) { return JpegSize(buffer.Peek(), size); }

bool GifAnimation(TBuffer& buffer, std::int32_t count, bool firstFrameOnly) {
  const std::span<const std::uint8_t> bytes = buffer.Peek();
  std::uint8_t* const data = buffer.Data() + buffer.ReadPos;
  if (firstFrameOnly) {
    const size_t first = Find(bytes, kGraphicControl, 0);
    if (first == bytes.size()) return false;
    const size_t second = Find(bytes, kGraphicControl, first + 1);
    if (second == bytes.size()) return false;
    data[second] = kGifTrailer;
    buffer.WritePos = buffer.ReadPos + static_cast<std::int32_t>(second) + 1;
    return true;
  }
  const size_t at = Find(bytes, kLoopExtension, 0);
  if (at == bytes.size() || bytes.size() < at + kLoopCountOffset + 2) return false;
  data[at + kLoopCountOffset] = static_cast<std::uint8_t>(count & 0xFF);
  data[at + kLoopCountOffset + 1] = static_cast<std::uint8_t>((count >> 8) & 0xFF);
  return true;
}

}  // namespace tarnwick
