#include "integration/ContentTestPages.h"

#include <cstdio>

namespace tarnwick::test {

namespace {

void Little16(std::string& out, int v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Big16(std::string& out, size_t v) {
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
  out.push_back(static_cast<char>(v & 0xFF));
}

}  // namespace

std::string GifFile(int width, int height, int frames, bool loop, const char* version) {
  std::string gif = version;
  Little16(gif, width);
  Little16(gif, height);
  gif += std::string("\x80\x00\x00", 3) + std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
  if (loop) gif += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  for (int frame = 0; frame < frames; ++frame) {
    gif += std::string("\x21\xF9\x04\x04\x0A\x00\x00\x00", 8);
    gif += std::string("\x2C\x00\x00\x00\x00", 5);
    Little16(gif, width);
    Little16(gif, height);
    gif += std::string("\x00\x02\x02\x4C\x01\x00", 6);
  }
  return gif + ";";
}

std::string JpegFile(int width, int height, size_t metadata) {
  std::string jpeg("\xFF\xD8\xFF\xE1", 4);
  Big16(jpeg, metadata + 2);
  jpeg += std::string(metadata, 'm');
  jpeg += std::string("\xFF\xC0\x00\x11\x08", 5);
  Big16(jpeg, static_cast<size_t>(height));
  Big16(jpeg, static_cast<size_t>(width));
  jpeg += std::string(10, '\x01');
  return jpeg + std::string("\xFF\xDA\x00\x02scan data\xFF\xD9", 15);
}

std::string Response(const std::string& type, const std::string& body, bool length) {
  std::string head = "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\n";
  if (length) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return head + "\r\n" + body;
}

std::string ChunkedResponse(const std::string& type, const std::string& body, size_t chunk) {
  std::string out = "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t at = 0; at < body.size(); at += chunk) {
    const std::string piece = body.substr(at, chunk);
    char size[32];
    std::snprintf(size, sizeof size, "%zx", piece.size());
    out += std::string(size) + "\r\n" + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

std::string HeadOf(const std::string& answer) {
  const size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? answer : answer.substr(0, end + 4);
}

std::string BodyOf(const std::string& answer) {
  const size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

}  // namespace tarnwick::test
