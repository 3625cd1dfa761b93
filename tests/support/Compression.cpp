#include "support/Compression.h"

#include <brotli/encode.h>
#include <zlib.h>

#include <stdexcept>

namespace tarnwick::test {

namespace {

std::string Deflate(std::string_view text, int windowBits) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

}  // namespace

std::string Gzip(std::string_view text) { return Deflate(text, 15 + 16); }
std::string ZlibDeflate(std::string_view text) { return Deflate(text, 15); }
std::string RawDeflate(std::string_view text) { return Deflate(text, -15); }

std::string Brotli(std::string_view text) {
  std::string out(BrotliEncoderMaxCompressedSize(text.size()) + 64, '\0');
  size_t size = out.size();
  if (!BrotliEncoderCompress(5, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, text.size(),
                             reinterpret_cast<const uint8_t*>(text.data()), &size,
                             reinterpret_cast<uint8_t*>(out.data()))) {
    throw std::runtime_error("BrotliEncoderCompress");
  }
  out.resize(size);
  return out;
}

}  // namespace tarnwick::test
