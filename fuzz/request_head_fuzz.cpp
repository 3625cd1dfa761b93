// The request head checks on arbitrary heads: the input is split into lines as the socket stream
// splits them (LF ends a line, one CR before it goes); the first is the request line. Nothing may
// crash, and what passes must be sane: a port in range, a framing with a length only for Length.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/HeaderList.h"
#include "engine/RequestHeadParser.h"
#include "text/UrlText.h"

namespace {

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty() && lines.size() <= tarnwick::kMaxHeaderLines) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > tarnwick::kMaxHeadBytes) return 0;
  const std::vector<std::string> lines = Lines(std::string_view(reinterpret_cast<const char*>(data), size));
  if (lines.empty()) return 0;
  const auto words = tarnwick::SplitText(lines[0], ' ');
  if (words.size() >= 2) {
    const tarnwick::TUrlParts parts = tarnwick::SplitUrl(words[1]);
    try {
      const std::int32_t port = tarnwick::ParsePort(parts.Port);
      if (port < 0 || port > 65535 || (port == 0 && !parts.Port.empty())) __builtin_trap();
    } catch (const tarnwick::EBadRequest&) {
    }
  }
  tarnwick::THeaderList headers;
  for (std::size_t i = 1; i < lines.size() && !lines[i].empty(); ++i) headers.AddLine(lines[i]);
  try {
    const tarnwick::TRequestFraming framing = tarnwick::RequestFramingOf(headers);
    if ((framing.Kind == tarnwick::TBodyFraming::Length) != (framing.Length >= 0)) __builtin_trap();
  } catch (const tarnwick::EBadRequest&) {
  }
  return 0;
}
