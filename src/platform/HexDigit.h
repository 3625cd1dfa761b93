#pragma once
// The value of one hexadecimal digit. It lives at the bottom so that the per-user store below the
// text helpers and the chunked decoder above them read hex the same way.

namespace tarnwick {

// 0-15 for 0-9, a-f and A-F; -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace tarnwick
