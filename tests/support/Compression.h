#pragma once
// Compressed forms of test pages, made with the same libraries servers use.

#include <string>
#include <string_view>

namespace tarnwick::test {

std::string Gzip(std::string_view text);
// zlib-wrapped deflate (RFC 1950), as the standard says "deflate" means.
std::string ZlibDeflate(std::string_view text);
// Bare deflate data (RFC 1951), as many servers send "deflate" all the same.
std::string RawDeflate(std::string_view text);
std::string Brotli(std::string_view text);

}  // namespace tarnwick::test
