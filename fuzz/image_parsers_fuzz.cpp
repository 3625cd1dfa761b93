// libFuzzer target: the GIF and JPEG header parsers and the GIF animation editor on arbitrary
// bytes. Beyond the sanitizers it checks the editor's promises: the first-frame cut only shortens
// the data and ends it with the trailer; the loop count edit changes at most two bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ImageParsers.h"

using namespace tarnwick;

namespace {

TBuffer Hold(const std::uint8_t* data, std::size_t size) {
  TBuffer buffer(static_cast<std::int32_t>(size) + 1);
  buffer.Write(data, static_cast<std::int32_t>(size));
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return 0;
  TPictureSize picture;
  GifSize(std::span<const std::uint8_t>(data, size), picture);
  JpegSize(std::span<const std::uint8_t>(data, size), picture);

  TBuffer cut = Hold(data, size);
  if (GifAnimation(cut, 0, true)) {
    const auto bytes = cut.Peek();
    if (bytes.size() > size || bytes.empty() || bytes.back() != 0x3B) __builtin_trap();
    if (std::memcmp(bytes.data(), data, bytes.size() - 1) != 0) __builtin_trap();
  }

  TBuffer looped = Hold(data, size);
  GifAnimation(looped, static_cast<std::int32_t>(size), false);
  const auto bytes = looped.Peek();
  if (bytes.size() != size) __builtin_trap();
  std::size_t changed = 0;
  for (std::size_t i = 0; i < size; ++i) changed += bytes[i] != data[i];
  if (changed > 2) __builtin_trap();
  return 0;
}
