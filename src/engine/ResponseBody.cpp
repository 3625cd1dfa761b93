#include "engine/ResponseBody.h"

#include <algorithm>
#include <cstring>

#include "platform/HexDigit.h"
#include "text/UrlText.h"

namespace tarnwick {

namespace {

// A size line or trailer line longer than this is not framing a server would send.
constexpr std::int32_t kMaxLineLength = 8192;
// Fifteen hex digits keep the size below 2^60, far from overflow.
constexpr std::int32_t kMaxSizeDigits = 15;

}  // namespace

std::int32_t TChunkedDecoder::Decode(std::uint8_t* data, std::int32_t n) {
  std::int32_t at = 0;
  std::int32_t out = 0;
  while (at < n && !Finished()) {
    if (State != TState::Data) {
      at = Frame(data, at, n);
      continue;
    }
    const auto take = static_cast<std::int32_t>(std::min<std::uint64_t>(Remaining, static_cast<std::uint64_t>(n - at)));
    if (out != at) std::memmove(data + out, data + at, static_cast<size_t>(take));
    out += take;
    at += take;
    Remaining -= static_cast<std::uint64_t>(take);
    if (Remaining == 0) State = TState::DataEnd;
  }
  Consumed = at;
  return out;
}

std::int32_t TChunkedDecoder::Frame(const std::uint8_t* data, std::int32_t at, std::int32_t n) {
  const auto endOfSizeLine = [this] {
    State = Remaining == 0 ? TState::Trailer : TState::Data;
    Digits = 0;
    LineLength = 0;
  };
  for (; at < n && State != TState::Data && !Finished(); ++at) {
    const std::uint8_t c = data[at];
    switch (State) {
      case TState::Size: {
        const int digit = HexDigitValue(static_cast<char>(c));
        if (digit >= 0) {
          if (++Digits > kMaxSizeDigits) Fail();
          Remaining = Remaining * 16 + static_cast<std::uint64_t>(digit);
        } else if (Digits == 0) {
          Fail();
        } else if (c == ';' || c == ' ' || c == '\t') {
          State = TState::Extension;
        } else if (c == '\r') {
          State = TState::SizeEnd;
        } else if (c == '\n') {
          endOfSizeLine();
        } else {
          Fail();
        }
        break;
      }
      case TState::Extension:
        if (c == '\n') {
          endOfSizeLine();
        } else if (++LineLength > kMaxLineLength) {
          Fail();
        }
        break;
      case TState::SizeEnd:
        if (c == '\n') {
          endOfSizeLine();
        } else {
          Fail();
        }
        break;
      case TState::DataEnd:
        if (c == '\r') {
          State = TState::DataEndLf;
        } else if (c == '\n') {
          State = TState::Size;
        } else {
          Fail();
        }
        break;
      case TState::DataEndLf:
        if (c == '\n') {
          State = TState::Size;
        } else {
          Fail();
        }
        break;
      case TState::Trailer:
        if (c == '\n') {
          if (LineLength == 0) State = TState::Done;
          LineLength = 0;
        } else if (c != '\r' && ++LineLength > kMaxLineLength) {
          Fail();
        }
        break;
      default:
        break;
    }
  }
  return at;
}

bool TResponseBody::Unreadable(const THeaderList& headers) {
  const std::string coding = headers.Get("Transfer-Encoding");
  return Unreadable(TrimBlanks(coding));
}

bool TResponseBody::Unreadable(std::string_view coding) {
  return !coding.empty() && !SameTextIgnoringCase(coding, "chunked") && !SameTextIgnoringCase(coding, "identity");
}

bool TResponseBody::Start(THeaderList& headers, std::int64_t contentLength) {
  const std::string header = headers.Get("Transfer-Encoding");
  const std::string_view coding = TrimBlanks(header);
  if (Unreadable(coding)) return false;
  Chunked = SameTextIgnoringCase(coding, "chunked");
  // With chunked framing a length header, if any, is wrong by definition.
  Left = Chunked ? -1 : contentLength;
  Ended = false;
  Early = false;
  Decoder = TChunkedDecoder();
  headers.RemoveAll("Transfer-Encoding");
  return true;
}

std::int32_t TResponseBody::Read(TSockStream& server, std::uint8_t* into, std::int32_t n) {
  while (!Ended && n > 0) {
    std::int32_t want = n;
    if (Left >= 0) want = static_cast<std::int32_t>(std::min<std::int64_t>(Left, n));
    if (want == 0) break;
    const std::int32_t got = server.ReadBuf(into, want);
    if (got <= 0) {
      Early = Chunked || Left > 0;
      break;
    }
    if (!Chunked) {
      if (Left >= 0) Left -= got;
      return got;
    }
    const std::int32_t decoded = Decoder.Decode(into, got);
    if (Decoder.Finished()) Ended = true;
    if (Decoder.Broken()) Early = true;
    if (decoded > 0) return decoded;
  }
  Ended = true;
  return 0;
}

}  // namespace tarnwick
