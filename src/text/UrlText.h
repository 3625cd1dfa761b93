#pragma once
// URL and text helpers shared by the settings model, the engine and the filters: URL splitting,
// substring positions, splitting at a separator, Base64 and number conversion. The text layer
// depends on nothing of the program but platform/.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Texts are byte strings; no encoding is assumed. Positions are 1-based, 0 means "not found".
// Case folding everywhere is ASCII A-Z only, so hosts and list entries compare the same way in
// every locale. All functions are pure and safe to call from any thread.

// Views into the split text (or into fixed texts such as "http"): valid while that text is.
struct TUrlParts {
  std::string_view Scheme;
  std::string_view User;
  std::string_view Password;
  std::string_view Host;
  std::string_view Port;
  std::string_view Path;  // from the first "/" after the authority; keeps query and fragment
};

// Never fails; odd forms split by fixed rules the filters rely on when they compare hosts:
//   "/a/b"        -> scheme "http", no host, path "/a/b" (a relative request path)
//   "//h/x"       -> scheme "http", no host, path "/h/x"
//   "http:x"      -> scheme "http", path "x" (the text after "http:")
//   "mailto:u@h"  -> scheme "mailto", user "u", host "h"
//   "h.com:81/p"  -> no scheme, host "h.com", port "81", path "/p"
//   "javascript:f()" -> no scheme, host "javascript", port "f()"
TUrlParts SplitUrl(std::string_view url);

// Position of the first occurrence of needle in haystack, or 0. An empty needle is never found.
std::size_t ContainsText(std::string_view needle, std::string_view haystack, bool caseSensitive);

// Every separator ends a piece, so empty pieces are kept and there is always at least one piece:
// "" -> {""}, "a," -> {"a", ""}.
std::vector<std::string> SplitText(std::string_view text, char separator);

// Position of the start of the last occurrence, or 0. An empty needle is never found.
std::size_t LastPos(std::string_view needle, std::string_view haystack);

// Position of the n-th occurrence, overlapping occurrences counted (each search starts one byte
// after the previous find). With fewer than n occurrences (or an empty needle) the result is
// haystack.size() + 1, which callers test for; n < 1 gives 0.
std::size_t NthPos(std::string_view needle, std::string_view haystack, int n);

// The path up to and including its last "/"; empty when it has none.
std::string DirectoryOf(std::string_view path);

// Standard alphabet with "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);

// Stops at the end or at a zero byte. Characters outside the alphabet count as value 0 rather than
// being rejected, since the credentials decoded here come from our own settings file and from
// browsers. A short final group yields the bytes its characters cover (2 chars -> 1, 3 -> 2).
std::string Base64Decode(std::string_view text);

// Decimal integer with an optional leading "+" or "-"; anything else (blanks included, empty text,
// trailing characters, values outside int32) gives 0. Blanks are refused so that a list entry or
// header value with stray spaces is not silently taken as a number.
std::int32_t IntOrZero(std::string_view text);

// The same decimal form as IntOrZero, 64-bit, telling a bad text apart from "0"; `value` is left
// alone on false.
bool TryParseInteger(std::string_view text, std::int64_t& value);
// The same within the 32 bits of int32; a value outside them is a bad text.
bool ParseInt32(std::string_view text, std::int32_t& value);

// ASCII upper case, for HTTP methods and versions.
std::string UpperAscii(std::string_view text);

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

std::string LowerAscii(std::string_view text);

// The text without leading and trailing blanks and tabs (the optional white space around HTTP
// header values).
std::string_view TrimBlanks(std::string_view text);

// Equal texts apart from ASCII letter case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tarnwick
