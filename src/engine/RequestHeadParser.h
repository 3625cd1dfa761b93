#pragma once
// The checks on a client's request head that decide whether it may be forwarded at all. A proxy
// that reads a request's length one way while the server reads it another lets one request hide a
// second one inside its body (request smuggling), so a head whose body framing is not plain is
// refused with 400 instead of being passed on; so is a port that names no TCP port.
//
// Pure functions, any thread.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/HeaderList.h"
#include "platform/Exceptions.h"

namespace tarnwick {

// A request and a response head may each take this much in all (lines and line ends); the number
// of header lines is bounded as well.
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;
inline constexpr std::size_t kMaxHeaderLines = 1000;

// A request that is answered with the 400 page; what() is the text shown on it.
class EBadRequest : public EHTProxyException {
 public:
  using EHTProxyException::EHTProxyException;
};

// A response head longer than kMaxHeadBytes: answered with the 500 page, never cut.
class EHeadTooLarge : public EHTProxyException {
 public:
  using EHTProxyException::EHTProxyException;
};

inline constexpr const char* kHeadTooLarge = "Request header too large";
inline constexpr const char* kBadPort = "Invalid port";
inline constexpr const char* kBadContentLength = "Invalid Content-Length";
inline constexpr const char* kLengthAndChunked = "Content-Length and Transfer-Encoding together";
inline constexpr const char* kBadTransferCoding = "Unsupported Transfer-Encoding";

inline constexpr const char* kNulInHead = "NUL byte in the request head";
inline constexpr const char* kBareCrInHead = "Bare CR in the request head";
inline constexpr const char* kLineWithoutColon = "Header line without a colon";

// Why one line of a request head (without its line end) must not be forwarded, or null when it
// may: a NUL byte or a CR that ends no line, which servers read in ways of their own, and, for a
// header line, no colon. Bare LF line ends are accepted; ReadLine has already taken them off.
const char* HeadLineFault(std::string_view line, bool headerLine);

enum class TBodyFraming { None, Length, Chunked };

struct TRequestFraming {
  TBodyFraming Kind = TBodyFraming::None;
  std::int64_t Length = -1;  // Kind Length: the body's size
};

// The port of a URL: 0 when `text` is empty (the scheme's default applies), else a number from 1
// to 65535. Raises EBadRequest otherwise (no wrapping of larger numbers).
std::int32_t ParsePort(std::string_view text);

// How the request's body is framed. Raises EBadRequest for both Content-Length and
// Transfer-Encoding, a Content-Length that is no plain decimal number (or two that differ), and a
// transfer coding other than chunked.
TRequestFraming RequestFramingOf(const THeaderList& headers);

}  // namespace tarnwick
