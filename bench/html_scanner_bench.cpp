// The HTML scanner's throughput on a realistic 1 MB page: alone (every tag handed to a handler that
// keeps it), and with the proxy's own tag decisions (tag filter with a block list and size list,
// popup rewriting). Read in 64 KiB pieces as from the server. Target: at least 300 MB/s on one core
// with the tag filter and popups on.

#include <benchmark/benchmark.h>

#include "RealisticPage.h"
#include "engine/FilterProxyControl.h"
#include "filters/Filters.h"
#include "filters/HtmlFilter.h"

namespace tarnwick {
namespace {

class TCountingSink : public TByteSink {
 public:
  bool Write(const char* bytes, std::size_t n) override {
    Bytes += n;
    benchmark::DoNotOptimize(bytes);
    return true;
  }
  std::size_t Bytes = 0;
};

// Keeps every tag: the scanner's own cost.
class TKeepTags : public TTagHandler {
 public:
  void OnTag(std::string&, THtmlScanState&) override {}
  TTagTriggers Triggers() const override { return {.Known = true, .Pairs = {}}; }
};

void ScanInPieces(THtmlScanState& state, const std::string& page, TTagHandler& tags, TByteSink& out) {
  constexpr std::size_t kPiece = 65536;
  for (std::size_t at = 0; at < page.size(); at += kPiece) {
    ScanHtml(state, std::span<const char>(page.data() + at, std::min(kPiece, page.size() - at)), tags, out);
  }
  FinishHtml(state);
}

void BM_ScannerAlone(benchmark::State& run) {
  const std::string page = bench::RealisticPage();
  TKeepTags tags;
  for (auto _ : run) {
    THtmlScanState state;
    TCountingSink sink;
    ScanInPieces(state, page, tags, sink);
    benchmark::DoNotOptimize(sink.Bytes);
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * page.size()));
}
BENCHMARK(BM_ScannerAlone)->Unit(benchmark::kMicrosecond);

void BM_ScannerWithTagFilterAndPopups(benchmark::State& run) {
  const std::string page = bench::RealisticPage();
  auto prefs = std::make_shared<TCorvanePrefs>("+0000");
  prefs->Publish(bench::FilteringSettings());
  auto filters = std::make_shared<const TTarnwickFilters>();
  std::size_t out = 0;
  for (auto _ : run) {
    TFilterProxyControl request(prefs, filters, std::make_unique<TSockStream>());
    request.Request().Url = "http://www.news.example/index.html";
    request.Request().Host = "www.news.example";
    request.Request().Path = "/index.html";
    TPageTags tags(request);
    TCountingSink sink;
    THtmlScanState state;
    ScanInPieces(state, page, tags, sink);
    out = sink.Bytes;
  }
  run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations() * page.size()));
  run.counters["out_bytes"] = static_cast<double>(out);
  run.counters["ImgFiltered"] = static_cast<double>(prefs->FltImagesCnt.load()) / static_cast<double>(run.iterations());
}
BENCHMARK(BM_ScannerWithTagFilterAndPopups)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarnwick
