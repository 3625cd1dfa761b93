// libFuzzer target: the HTML scanner with the proxy's own tag decisions (tag filter with a block
// list and the size rule, popup rewriting). The first input byte chooses where the page is split
// into two reads; the output must not depend on the split, nor on whether the scanner steps from
// sign to sign or hands every tag over.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/FilterProxyControl.h"
#include "filters/Filters.h"
#include "filters/HtmlFilter.h"
#include "support/HtmlScanning.h"

namespace {

using namespace tarnwick;

std::shared_ptr<TCorvanePrefs> MakePrefs() {
  auto prefs = std::make_shared<TCorvanePrefs>("+0000");
  TPrefsSettings s;
  s.TagFilter = true;
  s.FltImages = s.FltForms = s.FltFrames = s.FltLayers = s.FltScripts = s.FltText = s.FltWindows = true;
  s.Popups = TPopupRule::FilterOpened;
  s.DontFilterWhen = TDontFilterWhen::SamePath;
  s.FilterByDim = true;
  s.BlockItems = {"ad", "banner", "! ok"};
  s.BlockChecked = {true, true, true};
  s.ImageSizes = {{468, 60}};
  s.SizeChecked = {true};
  prefs->Publish(s);
  return prefs;
}

std::string Filter(std::string_view page, size_t split, bool everyTag = false) {
  static const std::shared_ptr<TCorvanePrefs> prefs = MakePrefs();
  TFilterProxyControl request(prefs, std::make_shared<const TTarnwickFilters>(), std::make_unique<TSockStream>());
  request.Request().Url = "http://www.site.example/dir/page.html";
  request.Request().Host = "www.site.example";
  request.Request().Path = "/dir/page.html";
  TPageTags pageTags(request);
  test::TEveryTag allTags(pageTags);
  TTagHandler& tags = everyTag ? static_cast<TTagHandler&>(allTags) : pageTags;
  test::TStringSink sink;
  THtmlScanState scan;
  ScanHtml(scan, std::span<const char>(page.data(), split), tags, sink);
  ScanHtml(scan, std::span<const char>(page.data() + split, page.size() - split), tags, sink);
  FinishHtml(scan);
  return sink.Text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view page(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = page.empty() ? 0 : data[0] * page.size() / 255;
  const std::string whole = Filter(page, page.size());
  if (Filter(page, split) != whole) __builtin_trap();
  if (Filter(page, split, true) != whole) __builtin_trap();
  return 0;
}
