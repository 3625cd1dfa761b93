#include "text/UrlText.h"

#include <cstdint>

#include <algorithm>
#include <array>
#include <charconv>

namespace tarnwick {

namespace {

constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::uint8_t, 256> MakeBase64Values() {
  std::array<std::uint8_t, 256> values{};  // unknown characters decode as 0
  for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
    values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<std::uint8_t>(i);
  }
  return values;
}

constexpr std::array<std::uint8_t, 256> kBase64Values = MakeBase64Values();

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (LowerAscii(text[i]) != lowerPrefix[i]) return false;
  }
  return true;
}

// Splits the user part of an authority at its first ":".
void SplitUserPart(std::string_view userPart, TUrlParts& parts) {
  const std::size_t colon = userPart.find(':');
  if (colon == std::string_view::npos) {
    parts.User = userPart;
  } else {
    parts.User = userPart.substr(0, colon);
    parts.Password = userPart.substr(colon + 1);
  }
}

}  // namespace

TUrlParts SplitUrl(std::string_view url) {
  TUrlParts parts;
  if (url.empty()) return parts;

  std::string_view rest;
  if (const std::size_t sep = url.find("://"); sep != std::string_view::npos) {
    parts.Scheme = url.substr(0, sep);
    rest = url.substr(sep + 3);
  } else if (url[0] == '/') {
    parts.Scheme = "http";
    if (url.size() > 1 && url[1] != '/') {
      parts.Path = url;
      return parts;
    }
    rest = url.substr(1);
  } else if (StartsWithNoCase(url, "http:")) {
    parts.Scheme = "http";
    if (url.size() > 6 && url[6] != '/') {
      parts.Path = url.substr(5);
      return parts;
    }
    rest = url.substr(std::min<std::size_t>(6, url.size()));
  } else if (StartsWithNoCase(url, "mailto:")) {
    parts.Scheme = "mailto";
    rest = url.substr(7);
  } else {
    rest = url;
  }

  std::string_view authority = rest;
  if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
    parts.Path = rest.substr(slash);
    authority = rest.substr(0, slash);
  }

  // The last "@" and ":" decide, so a password may contain "@" or ":" only before the last "@",
  // and a port is recognised only after the host.
  const std::size_t at = authority.rfind('@');
  // An IPv6 literal keeps its brackets in the host ("[::1]"); its colons are no port separator.
  const std::size_t hostStart = at == std::string_view::npos ? 0 : at + 1;
  if (hostStart < authority.size() && authority[hostStart] == '[') {
    if (const std::size_t close = authority.find(']', hostStart); close != std::string_view::npos) {
      parts.Host = authority.substr(hostStart, close + 1 - hostStart);
      if (close + 1 < authority.size() && authority[close + 1] == ':') parts.Port = authority.substr(close + 2);
      if (at != std::string_view::npos) SplitUserPart(authority.substr(0, at), parts);
      return parts;
    }
  }
  const std::size_t colon = authority.rfind(':');
  const bool hasAt = at != std::string_view::npos;
  const bool hasColon = colon != std::string_view::npos;
  if (!hasAt && !hasColon) {
    parts.Host = authority;
  } else if (hasColon && (!hasAt || colon > at)) {
    parts.Port = authority.substr(colon + 1);
    parts.Host = authority.substr(hostStart, colon - hostStart);
    if (hasAt) SplitUserPart(authority.substr(0, at), parts);
  } else {
    parts.Host = authority.substr(at + 1);
    SplitUserPart(authority.substr(0, at), parts);
  }
  return parts;
}

std::size_t ContainsText(std::string_view needle, std::string_view haystack, bool caseSensitive) {
  if (needle.empty() || needle.size() > haystack.size()) return 0;
  if (caseSensitive) {
    const std::size_t pos = haystack.find(needle);
    return pos == std::string_view::npos ? 0 : pos + 1;
  }
  const auto found = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                                 [](char a, char b) { return LowerAscii(a) == LowerAscii(b); });
  return found == haystack.end() ? 0 : static_cast<std::size_t>(found - haystack.begin()) + 1;
}

std::vector<std::string> SplitText(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == separator) {
      pieces.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

std::size_t LastPos(std::string_view needle, std::string_view haystack) {
  if (needle.empty()) return 0;
  const std::size_t pos = haystack.rfind(needle);
  return pos == std::string_view::npos ? 0 : pos + 1;
}

std::size_t NthPos(std::string_view needle, std::string_view haystack, int n) {
  if (n < 1) return 0;
  const std::size_t notFound = haystack.size() + 1;
  if (needle.empty()) return notFound;
  std::size_t from = 0;
  std::size_t pos = std::string_view::npos;
  for (int i = 0; i < n; ++i) {
    pos = haystack.find(needle, from);
    if (pos == std::string_view::npos) return notFound;
    from = pos + 1;
  }
  return pos + 1;
}

std::string DirectoryOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                            static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                            static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64Alphabet[v >> 18];
    out += kBase64Alphabet[(v >> 12) & 0x3F];
    out += kBase64Alphabet[(v >> 6) & 0x3F];
    out += kBase64Alphabet[v & 0x3F];
  }
  const std::size_t left = bytes.size() - i;
  if (left > 0) {
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left == 2) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += kBase64Alphabet[v >> 18];
    out += kBase64Alphabet[(v >> 12) & 0x3F];
    out += left == 2 ? kBase64Alphabet[(v >> 6) & 0x3F] : '=';
    out += '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos) {
    text = text.substr(0, zero);
  }
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const std::size_t have = std::min<std::size_t>(4, text.size() - i);
    if (have < 2) break;  // one character holds only six bits: no whole byte
    std::array<std::uint8_t, 4> v{};
    for (std::size_t k = 0; k < have; ++k) v[k] = kBase64Values[static_cast<unsigned char>(text[i + k])];
    out += static_cast<char>(v[0] << 2 | v[1] >> 4);
    if (have > 2 && text[i + 2] != '=') out += static_cast<char>((v[1] & 0x0F) << 4 | v[2] >> 2);
    if (have > 3 && text[i + 3] != '=') out += static_cast<char>((v[2] & 0x03) << 6 | v[3]);
  }
  return out;
}

bool TryParseInteger(std::string_view text, std::int64_t& value) {
  // from_chars takes a "-" but no "+"; after a "+" a digit must follow, so "+-5" stays invalid.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || !IsDigit(text.front())) return false;
  }
  const char* last = text.data() + text.size();
  std::int64_t parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), last, parsed);
  if (ec != std::errc() || end != last) return false;
  value = parsed;
  return true;
}

bool ParseInt32(std::string_view text, std::int32_t& value) {
  std::int64_t wide = 0;
  if (!TryParseInteger(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
  value = static_cast<std::int32_t>(wide);
  return true;
}

std::int32_t IntOrZero(std::string_view text) {
  std::int32_t value = 0;
  return ParseInt32(text, value) ? value : 0;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace tarnwick
