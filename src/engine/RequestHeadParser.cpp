#include "engine/RequestHeadParser.h"

#include "text/UrlText.h"

namespace tarnwick {

namespace {

// Digits only, no sign and no blanks: what the standard allows and every server reads alike.
bool ParseDecimal(std::string_view text, std::int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

std::string NameOf(std::string_view entry) { return std::string(entry.substr(0, entry.find('='))); }
std::string_view ValueOf(std::string_view entry) {
  const std::size_t equals = entry.find('=');
  return equals == std::string_view::npos ? std::string_view() : entry.substr(equals + 1);
}

}  // namespace

const char* HeadLineFault(std::string_view line, bool headerLine) {
  if (line.find('\0') != std::string_view::npos) return kNulInHead;
  if (line.find('\r') != std::string_view::npos) return kBareCrInHead;
  if (headerLine && line.find(':') == std::string_view::npos) return kLineWithoutColon;
  return nullptr;
}

std::int32_t ParsePort(std::string_view text) {
  if (text.empty()) return 0;
  std::int64_t port = 0;
  if (!ParseDecimal(text, port) || port < 1 || port > 65535) throw EBadRequest(kBadPort);
  return static_cast<std::int32_t>(port);
}

TRequestFraming RequestFramingOf(const THeaderList& headers) {
  TRequestFraming framing;
  int codings = 0;
  bool chunked = false;
  for (const std::string& entry : headers.Lines()) {
    const std::string name = NameOf(entry);
    const std::string_view value = TrimBlanks(ValueOf(entry));
    if (SameTextIgnoringCase(name, "Content-Length")) {
      std::int64_t length = 0;
      if (!ParseDecimal(value, length) || (framing.Length >= 0 && framing.Length != length)) {
        throw EBadRequest(kBadContentLength);
      }
      framing.Length = length;
    } else if (SameTextIgnoringCase(name, "Transfer-Encoding")) {
      ++codings;
      chunked = SameTextIgnoringCase(value, "chunked");
    }
  }
  if (codings > 0 && framing.Length >= 0) throw EBadRequest(kLengthAndChunked);
  if (codings > 1 || (codings == 1 && !chunked)) throw EBadRequest(kBadTransferCoding);
  if (codings == 1) {
    framing.Kind = TBodyFraming::Chunked;
  } else if (framing.Length >= 0) {
    framing.Kind = TBodyFraming::Length;
  }
  return framing;
}

}  // namespace tarnwick
