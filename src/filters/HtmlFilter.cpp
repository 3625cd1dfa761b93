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
  const bool scripts = WantsPopupScripts(*request.Settings);
  // The filters change the page's length, so none is announced: the close ends the page.
  request.ContentLength = -1;
  request.ResponseHeaders.RemoveAll("Content-length");
  request.SendResponseHead();
  if (scripts) request.SendText(kPopupOpenScript);
  request.OutputBuffer.SetCapacity(kStreamOutputSize);
  request.OutputBuffer.Clear();
  TPageTags tags(request);
  TClientSink sink(request);
  for (;;) {
    const TScanStep step = ScanNextPiece(request, tags, sink);
    if (step == TScanStep::Failed || !sink.Flush() || step == TScanStep::Ended) break;
  }
  // Attempted also after a failed send: the page must not keep the dummy window function.
  if (scripts) request.SendText(kPopupCloseScript);
}

}  // namespace

TPageTags::TPageTags(TFilterProxyControl& request)
    : Request(request), TagFilter(request.Settings->TagFilter), Popups(WantsPopupScripts(*request.Settings)) {}

void TPageTags::OnTag(std::string& tag, THtmlScanState&) {
  if (TagFilter) FilterTag(Request, tag);
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

TClientSink::TClientSink(TFilterProxyControl& request) : Request(request) {}

bool TClientSink::Write(const char* bytes, std::size_t n) {
  TBuffer& held = Request.OutputBuffer;
  if (static_cast<std::size_t>(held.Capacity - held.WritePos) < n && !Flush()) return false;
  if (static_cast<std::size_t>(held.Capacity) < n) return SendAll(Request, bytes, n);
  held.Write(bytes, static_cast<std::int32_t>(n));
  return true;
}

bool TClientSink::Flush() {
  TBuffer& held = Request.OutputBuffer;
  const auto bytes = held.Peek();
  held.Clear();
  return SendAll(Request, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TScanStep ScanNextPiece(TFilterProxyControl& request, TTagHandler& tags, TByteSink& out) {
  TBuffer& piece = request.ReadAhead;
  if (piece.Capacity < kPieceSize) piece.SetCapacity(kPieceSize);
  const std::int32_t got = request.ReadBody(piece.Data(), piece.Capacity);
  if (got == 0) {
    FinishHtml(request.HtmlScan);
    return TScanStep::Ended;
  }
  const std::span<const char> bytes(reinterpret_cast<const char*>(piece.Data()), static_cast<std::size_t>(got));
  return ScanHtml(request.HtmlScan, bytes, tags, out) ? TScanStep::More : TScanStep::Failed;
}

bool WantsPopupScripts(const TPrefsSettings& settings) { return settings.Popups == 1; }

bool FilterHtml(TFilterProxyControl& request) {
  const TPrefsSettings& settings = *request.Settings;
  if (!settings.TagFilter && !WantsPopupScripts(settings) && !request.WholePage) return false;
  if (!request.StartFilteredBody()) return false;
  if (request.WholePage) {
    FilterWholePage(request);
  } else {
    StreamPage(request);
  }
  return true;
}

}  // namespace tarnwick
