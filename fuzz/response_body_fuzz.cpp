// libFuzzer target: the chunked transfer decoder. The first input byte chooses a split of the rest
// into two pieces; the decoded body must not depend on it and never be longer than the input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ResponseBody.h"

using namespace tarnwick;

namespace {

std::string Decode(std::string wire, std::size_t split) {
  TChunkedDecoder decoder;
  std::string body;
  for (auto [from, to] : {std::pair{std::size_t{0}, split}, std::pair{split, wire.size()}}) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(wire.data() + from);
    const std::int32_t n = decoder.Decode(bytes, static_cast<std::int32_t>(to - from));
    if (n < 0 || static_cast<std::size_t>(n) > to - from) __builtin_trap();
    body.append(wire.data() + from, static_cast<std::size_t>(n));
  }
  return body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 65536) return 0;
  const std::string wire(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = data[0] * wire.size() / 255;
  if (Decode(wire, split) != Decode(wire, wire.size())) __builtin_trap();
  return 0;
}
