#include "filters/HtmlFilter.h"

#include <algorithm>

#include "engine/FilterProxyControl.h"
#include "filters/PopupFilter.h"
#include "filters/TagFilter.h"
#include "filters/WordFilter.h"

namespace tarnwick {

namespace {

// One read from the server at most; the scanner's output is sent after each piece, so the browser
// gets a page as fast as it arrives.
constexpr std::int32_t kPieceSize = 65536;
constexpr std::int32_t kStreamOutputSize = 65536;

bool SendAll(TFilterProxyControl& request, const char* bytes, std::size_t n) {
  const auto count = static_cast<std::int32_t>(n);
  return count == 0 || request.SendData(bytes, count) == count;
}

// Sends the page as it is scanned, between the popup scripts when they are wanted.
void StreamPage(TFilterProxyControl& request) {
  const bool scripts = WantsPopupScripts(request.Settings());
  TResponseHead& response = request.Response();
  // The filters change the page's length, so none is announced: the close ends the page.
  response.ContentLength = -1;
  response.Headers.RemoveAll("Content-length");
  request.SendResponseHead();
  if (scripts) request.SendText(kPopupOpenScript);
  TPageTags tags(request);
  TPageScan scan(request);
  TClientSink sink(request);
  for (;;) {
    const TScanStep step = scan.Next(tags, sink);
    if (step == TScanStep::Failed || !sink.Flush() || step == TScanStep::Ended) break;
  }
  // Attempted also after a failed send: the page must not keep the dummy window function.
  if (scripts) request.SendText(kPopupCloseScript);
}

}  // namespace

TPageTags::TPageTags(TFilterProxyControl& request)
    : Request(request), TagFilter(request.Settings().TagFilter), Popups(WantsPopupScripts(request.Settings())) {}

void TPageTags::OnTag(std::string& tag, THtmlScanState& state) {
  if (TagFilter) FilterTag(Request, tag, state, Tag);
  if (Popups) ReplaceWindowOpen(tag);
}

TTagTriggers TPageTags::Triggers() const {
  TTagTriggers triggers{.Known = true, .Pairs = {}};
  if (TagFilter) {
    for (const TTagTrigger& pair : kObjectTagTriggers) triggers.Pairs.push_back(pair);
  }
  if (Popups) triggers.Pairs.push_back(kWindowOpenTrigger);
  return triggers;
}

TClientSink::TClientSink(TFilterProxyControl& request) : Request(request), Held(kStreamOutputSize) {}

bool TClientSink::Write(const char* bytes, std::size_t n) {
  if (static_cast<std::size_t>(Held.Capacity - Held.WritePos) < n && !Flush()) return false;
  if (static_cast<std::size_t>(Held.Capacity) < n) return SendAll(Request, bytes, n);
  Held.Write(bytes, static_cast<std::int32_t>(n));
  return true;
}

bool TClientSink::Flush() {
  const auto bytes = Held.Peek();
  Held.Clear();
  return SendAll(Request, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TPageScan::TPageScan(TFilterProxyControl& request) : Request(request), Piece(kPieceSize) {}

TScanStep TPageScan::Next(TTagHandler& tags, TByteSink& out) {
  const std::int32_t got = Request.ReadBody(Piece.Data(), Piece.Capacity);
  if (got == 0) {
    FinishHtml(State);
    return TScanStep::Ended;
  }
  const std::span<const char> bytes(reinterpret_cast<const char*>(Piece.Data()), static_cast<std::size_t>(got));
  return ScanHtml(State, bytes, tags, out) ? TScanStep::More : TScanStep::Failed;
}

bool WantsPopupScripts(const TPrefsSettings& settings) { return settings.Popups == TPopupRule::FilterOpened; }

bool FilterHtml(TFilterProxyControl& request) {
  const TPrefsSettings& settings = request.Settings();
  if (!settings.TagFilter && !WantsPopupScripts(settings) && !settings.HasWordEntries) return false;
  if (!request.StartFilteredBody()) return false;
  if (settings.HasWordEntries) {
    FilterWholePage(request);
  } else {
    StreamPage(request);
  }
  return true;
}

}  // namespace tarnwick
