#pragma once
// Pictures and responses for the content filter tests: small GIF and JPEG files built byte by byte,
// and origin responses around them.

#include <string>

namespace tarnwick::test {

// A GIF of the given logical screen size. `frames` graphic control blocks follow the header, each
// with a little image data; `loop` adds the looping extension with count 0 before them.
std::string GifFile(int width, int height, int frames = 1, bool loop = false, const char* version = "GIF89a");

// A JPEG whose start-of-frame segment follows an APP1 segment of `metadata` bytes.
std::string JpegFile(int width, int height, size_t metadata = 16);

// "HTTP/1.0 200 OK" with the content type, a Content-Length (unless `length` is false) and the body.
std::string Response(const std::string& type, const std::string& body, bool length = true);

// The same body in chunks of at most `chunk` bytes, HTTP/1.1 with Transfer-Encoding: chunked.
std::string ChunkedResponse(const std::string& type, const std::string& body, size_t chunk = 7);

// The parts of a raw answer around its first empty line.
std::string HeadOf(const std::string& answer);
std::string BodyOf(const std::string& answer);

}  // namespace tarnwick::test
