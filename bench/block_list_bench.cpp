// MatchBlockList on block lists of 50, 5,000 and 50,000 realistic entries over the same 10,000
// realistic URLs, and the time Apply spends preparing a 50,000-entry list. The prepared match
// should cost about the same whatever the list's length; the plain rule is shown for contrast.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/FilterChain.h"
#include "engine/FilterProxyControl.h"
#include "filters/BlockList.h"
#include "filters/Filters.h"

namespace tarnwick {
namespace {

const std::vector<std::string> kWords = {"news",   "shop",   "media",  "cdn",     "static",      "img",     "video",
                                         "mail",   "search", "cloud",  "stats",   "metrics",     "pixel",   "track",
                                         "banner", "promo",  "click",  "adserv",  "syndication", "widgets", "social",
                                         "market", "travel", "sports", "weather", "finance",     "games",   "music",
                                         "photos", "blog",   "forum",  "wiki"};
const std::vector<std::string> kTopLevel = {".com", ".net", ".org", ".de", ".co.uk", ".io", ".fr", ".info"};

class TGenerator {
 public:
  explicit TGenerator(unsigned seed) : Random(seed) {}
  const std::string& Word() { return kWords[Random() % kWords.size()]; }
  std::string Host() {
    std::string host = Word() + std::to_string(Random() % 20000) + kTopLevel[Random() % kTopLevel.size()];
    return Random() % 3 == 0 ? Word() + "." + host : host;
  }
  std::string Segment() { return Random() % 2 ? Word() : Word() + std::to_string(Random() % 500); }
  std::string Path() {
    std::string path;
    for (unsigned n = 1 + Random() % 4; n > 0; --n) path += "/" + Segment();
    return path;
  }
  // Entries as block lists carry them: whole ad hosts, host fragments, path fragments and a few
  // exceptions.
  std::string Entry() {
    switch (Random() % 10) {
      case 0:
      case 1:
      case 2:
      case 3:
        return Host();
      case 4:
        return Word() + std::to_string(Random() % 20000) + ".";
      case 5:
      case 6:
        return "/" + Word() + std::to_string(Random() % 500) + "/" + Segment() + "/";
      case 7:
        return Host() + Path();
      case 8:
        return "/" + Word() + "/" + std::to_string(468 + Random() % 300) + "x" + std::to_string(60 + Random() % 200);
      default:
        return Random() % 5 == 0 ? "! " + Host() : Word() + "-" + Word() + std::to_string(Random() % 100);
    }
  }
  std::string Url() {
    std::string url = "http://" + (Random() % 2 ? "www." + Host() : Host()) + Path();
    if (Random() % 2) url += "/" + Word() + std::to_string(Random() % 1000) + ".html";
    if (Random() % 3 == 0) url += "?id=" + std::to_string(Random()) + "&ref=" + Word();
    return url;
  }
  unsigned Next() { return Random(); }

 private:
  std::mt19937 Random;
};

TPrefsSettings BlockListOf(size_t entries) {
  TGenerator generator(7);
  TPrefsSettings settings;
  settings.RequestFilter = true;
  for (size_t i = 0; i < entries; ++i) {
    settings.BlockItems.push_back(generator.Entry());
    settings.BlockChecked.push_back(generator.Next() % 20 != 0);
  }
  return settings;
}

const std::vector<std::string>& Urls() {
  static const std::vector<std::string> urls = [] {
    TGenerator generator(11);
    std::vector<std::string> all;
    for (int i = 0; i < 10000; ++i) all.push_back(generator.Url());
    return all;
  }();
  return urls;
}

// Every published snapshot carries its prepared list, so there is no other way to match.
void BM_MatchBlockList(benchmark::State& state) {
  auto prefs = std::make_shared<TCorvanePrefs>("+0000");
  prefs->Publish(BlockListOf(static_cast<size_t>(state.range(0))));
  TFilterProxyControl request(prefs, std::make_shared<const TFilterChain>(), std::make_unique<TSockStream>());
  request.Request().Url = "http://www.example.com/";
  request.Request().Referer = "http://www.example.org/index.html";
  int64_t blocked = 0;
  for (auto _ : state) {
    for (const std::string& url : Urls()) blocked += MatchBlockList(request, url);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Urls().size()));
  state.counters["blocked_per_10k"] = static_cast<double>(blocked) / static_cast<double>(state.iterations());
}

void BM_PrepareBlockList(benchmark::State& state) {
  const TPrefsSettings settings = BlockListOf(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto prepared = std::make_unique<TBlockListMatcher>(settings.BlockItems, settings.BlockChecked);
    benchmark::DoNotOptimize(prepared.get());
    state.PauseTiming();  // freeing the previous list is not part of Apply's wait
    prepared.reset();
    state.ResumeTiming();
  }
}

// What a settings change that leaves the lists alone costs now (a log switch, say): the whole
// snapshot is prepared again.
void BM_PublishUnchangedLists(benchmark::State& state) {
  auto prefs = std::make_shared<TCorvanePrefs>("+0000");
  prefs->Publish(BlockListOf(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    TPrefsSettings settings = *prefs->Settings();
    settings.LogEnabled = !settings.LogEnabled;
    prefs->Publish(std::move(settings));
  }
}

BENCHMARK(BM_MatchBlockList)->Arg(50)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareBlockList)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishUnchangedLists)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick
