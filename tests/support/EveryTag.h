#pragma once
// TEveryTag: a tag handler's decisions without its promise about kept tags, so that the scanner
// hands every tag over the byte-exact way. Tests and fuzz targets compare it with the handler
// itself: both must give the same page.

#include <string>

#include "filters/HtmlScanner.h"

namespace tarnwick::test {

class TEveryTag : public TTagHandler {
 public:
  explicit TEveryTag(TTagHandler& tags) : Tags(tags) {}
  void OnTag(std::string& tag, THtmlScanState& state) override { Tags.OnTag(tag, state); }

 private:
  TTagHandler& Tags;
};

}  // namespace tarnwick::test
