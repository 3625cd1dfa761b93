#include "filters/WordFilter.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/FilterProxyControl.h"
#include "filters/HtmlFilter.h"
#include "filters/PopupFilter.h"
#include "filters/Redirection.h"
#include "text/UrlText.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kRoomWithoutLength = 32768;
constexpr std::int32_t kRoomForEmptyLength = 1514;

bool AllWordsIn(std::string_view words, std::string_view page, bool caseSensitive) {
  for (const std::string& word : SplitText(words, ' ')) {
    if (word.empty()) return false;
    const std::string needle = caseSensitive ? word : UpperAscii(word);
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    if (std::search(page.begin(), page.end(), searcher) == page.end()) return false;
  }
  return true;
}

// This page's share of the budget that all collected pages have together; given back as the page
// is done, however it ends.
class TBudgetShare {
 public:
  TBudgetShare(std::atomic<std::int64_t>& used, std::int64_t budget) : Used(used), Budget(budget) {}
  ~TBudgetShare() { Used.fetch_sub(Held); }
  TBudgetShare(const TBudgetShare&) = delete;
  TBudgetShare& operator=(const TBudgetShare&) = delete;

  // Takes up to `wanted` bytes of what the budget has left; returns what it took.
  std::int64_t TakeUpTo(std::int64_t wanted) {
    std::int64_t current = Used.load();
    std::int64_t granted = 0;
    do {
      granted = std::clamp<std::int64_t>(Budget - current, 0, wanted);
      if (granted == 0) return 0;
    } while (!Used.compare_exchange_weak(current, current + granted));
    Held += granted;
    return granted;
  }

 private:
  std::atomic<std::int64_t>& Used;
  const std::int64_t Budget;
  std::int64_t Held = 0;
};

// Scanned bytes kept in a buffer of the page's, which grows by half its room when full but never past
// kMaxCollectedPage nor past what the shared budget grants; what does not fit waits in Overflow,
// and Full() tells the caller to stop.
class TCollectSink : public TByteSink {
 public:
  TCollectSink(TBuffer& page, TBudgetShare& share) : Page(page), Share(share) {}

  bool Write(const char* bytes, std::size_t n) override {
    std::size_t stored = 0;
    while (stored < n && Overflow.empty()) {
      if (Page.WritePos == Page.Capacity && !Grow()) break;
      stored += static_cast<std::size_t>(
          Page.Write(bytes + stored, static_cast<std::int32_t>(std::min<std::size_t>(n - stored, INT32_MAX))));
    }
    Overflow.append(bytes + stored, n - stored);
    return true;
  }
  bool Full() const { return !Overflow.empty() || Page.WritePos >= kMaxCollectedPage; }
  std::string Overflow;

 private:
  bool Grow() {
    if (Page.Capacity >= kMaxCollectedPage) return false;
    const std::int64_t grown = std::max<std::int64_t>(Page.Capacity + Page.Capacity / 2, Page.Capacity + 1);
    const std::int64_t more = Share.TakeUpTo(std::min<std::int64_t>(grown, kMaxCollectedPage) - Page.Capacity);
    if (more == 0) return false;
    Page.SetCapacity(static_cast<std::int32_t>(Page.Capacity + more));
    return true;
  }

  TBuffer& Page;
  TBudgetShare& Share;
};

std::int32_t InitialRoom(std::int64_t contentLength) {
  if (contentLength < 0) return kRoomWithoutLength;
  if (contentLength == 0) return kRoomForEmptyLength;
  return static_cast<std::int32_t>(std::min<std::int64_t>(contentLength, kMaxCollectedPage));
}

// Sends the head, the collected page and, when collection stopped early, the rest as it arrives.
void SendCollected(TFilterProxyControl& request, TBuffer& page, TCollectSink& collected, bool complete, TPageScan& scan,
                   TPageTags& tags) {
  const bool scripts = WantsPopupScripts(request.Settings());
  TResponseHead& response = request.Response();
  response.Headers.RemoveAll("Content-length");
  // A whole page is sent with its exact length; a page whose rest is still to come, or one the
  // server cut short, with none.
  response.ContentLength = -1;
  if (complete && !request.BodyCutShort()) {
    const size_t wrapping = scripts ? kPopupOpenScript.size() + kPopupCloseScript.size() : 0;
    response.ContentLength = static_cast<std::int64_t>(page.Peek().size() + collected.Overflow.size() + wrapping);
  }
  request.SendResponseHead();
  const auto held = page.Peek();
  const std::string_view text(reinterpret_cast<const char*>(held.data()), held.size());
  // The opening script goes after a leading doctype, so that the page keeps its standards mode.
  const std::size_t place = scripts ? *OpeningScriptPlace(text, true) : 0;
  bool sent = request.SendText(text.substr(0, place)) && (!scripts || request.SendText(kPopupOpenScript)) &&
              request.SendText(text.substr(place)) && request.SendText(collected.Overflow);
  page.Clear();
  collected.Overflow.clear();
  if (!complete && sent) {
    TClientSink rest(request);
    for (;;) {
      const TScanStep step = scan.Next(tags, rest);
      if (step == TScanStep::Failed || !rest.Flush() || step == TScanStep::Ended) break;
    }
  }
  if (scripts) request.SendText(kPopupCloseScript);
}

}  // namespace

std::optional<std::size_t> FindWordEntry(const TPrefsSettings& settings, std::string_view page) {
  std::string upper;
  const bool caseSensitive = settings.WordCase;
  for (std::size_t i = 0; i < settings.RedirEntries.size(); ++i) {
    const TRedirEntry& entry = settings.RedirEntries[i];
    if (!entry.Checked || !IsWordEntry(entry)) continue;
    const std::string_view text = entry.Pattern;
    // Upper-cased once per page, and only when an entry needs it.
    if (!caseSensitive && upper.empty() && !page.empty()) upper = UpperAscii(page);
    if (AllWordsIn(text.substr(1, text.size() - 2), caseSensitive ? page : upper, caseSensitive)) return i;
  }
  return std::nullopt;
}

void FilterWholePage(TFilterProxyControl& request) {
  TBudgetShare share(request.Shared().CollectedBytes, request.Settings().Limits.WordBudgetBytes);
  // With the budget spent, a page starts from a buffer's smallest room, which is not counted.
  const std::int64_t granted = share.TakeUpTo(InitialRoom(request.Response().ContentLength));
  TBuffer page(granted > 0 ? static_cast<std::int32_t>(granted) : TBuffer::kDefaultCapacity);
  TPageTags tags(request);
  TPageScan scan(request);
  TCollectSink collected(page, share);
  TScanStep step = TScanStep::More;
  while (step == TScanStep::More && !collected.Full()) step = scan.Next(tags, collected);

  // The whole collected text is searched: a zero byte in a page does not hide what follows it.
  const auto held = page.Peek();
  const TPrefsSettings& settings = request.Settings();
  const std::optional<std::size_t> entry =
      FindWordEntry(settings, {reinterpret_cast<const char*>(held.data()), held.size()});
  if (!entry || !ActOnRedirEntry(request, settings.RedirEntries[*entry])) {
    SendCollected(request, page, collected, step == TScanStep::Ended, scan, tags);
  }
}

}  // namespace tarnwick
