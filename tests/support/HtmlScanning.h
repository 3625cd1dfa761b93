#pragma once
// Test vocabulary for the HTML scanner, shared by the tests and the fuzz targets: a sink that
// keeps what it is given, and a tag handler's decisions without its promise about kept tags.

#include <cstddef>
#include <string>

#include "filters/HtmlScanner.h"

namespace tarnwick::test {

// Keeps the scanned bytes; refuses a write that would take Text past Limit.
class TStringSink : public TByteSink {
 public:
  bool Write(const char* bytes, std::size_t n) override {
    if (Text.size() + n > Limit) return false;
    Text.append(bytes, n);
    return true;
  }
  std::string Text;
  std::size_t Limit = std::string::npos;
};

// Hands every tag to `tags` the byte-exact way: compared with `tags` itself, both must give the
// same page.
class TEveryTag : public TTagHandler {
 public:
  explicit TEveryTag(TTagHandler& tags) : Tags(tags) {}
  void OnTag(std::string& tag, THtmlScanState& state) override { Tags.OnTag(tag, state); }

 private:
  TTagHandler& Tags;
};

}  // namespace tarnwick::test
