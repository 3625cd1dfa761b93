#pragma once
// Header parsers and the animation editor for GIF and JPEG pictures. They look at a picture's first
// bytes only: sizes come from the file headers, and an animation is edited in place, without
// decoding anything. Each parser checks the remaining length before every read and answers "unknown"
// rather than reading past the end. Pure functions on caller-owned bytes; any thread.

#include <cstdint>
#include <span>

#include "engine/Buffer.h"

namespace tarnwick {

struct TPictureSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

// The logical screen size of a "GIF87a" or "GIF89a" file. False for another signature or too few
// bytes.
bool GifSize(std::span<const std::uint8_t> bytes, TPictureSize& size);
// The size in the first start-of-frame segment, found by walking the marker segments. False when
// the bytes end first or a segment length is damaged (below 2, the length field's own size).
bool JpegSize(std::span<const std::uint8_t> bytes, TPictureSize& size);

// The same on a buffer's unread bytes; nothing is consumed.
bool GifSize(const TBuffer& buffer, TPictureSize& size);
bool JpegSize(const TBuffer& buffer, TPictureSize& size);

// Edits the animation held in the buffer's unread bytes.
// - firstFrameOnly: cuts the data at the second graphic control extension (21 F9 04), putting the
//   trailer byte 3B in its first byte's place. False (unchanged) when there is no second one.
// - otherwise: sets the loop count of the first looping extension (21 FF 0B "NETSCAPE2.0") to the
//   low 16 bits of `count`, little-endian; 0 loops without end. False (unchanged) when there is no
//   such extension or its data sub-block is cut off.
// The searches run over raw bytes, so a matching sequence inside image data counts too.
bool GifAnimation(TBuffer& buffer, std::int32_t count, bool firstFrameOnly);

}  // namespace tarnwick
