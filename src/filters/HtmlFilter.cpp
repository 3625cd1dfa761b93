#include "filters/HtmlFilter.h"

#include <algorithm>
#include <utility>

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

// Holds the start of the scanned page until the opening popup script's place is known, then sends
// the start, the script and the rest in that order.
class TScriptPlacingSink : public TByteSink {
 public:
  explicit TScriptPlacingSink(TByteSink& out) : Out(out) {}

  bool Write(const char* bytes, std::size_t n) override {
    if (Placed) return Out.Write(bytes, n);
    Start.append(bytes, n);
    // A start this long without a decision has no doctype worth waiting for.
    const auto place = OpeningScriptPlace(Start, Start.size() >= kMaxStart);
    return !place || Place(*place);
  }
  // The page ended (or filtering stopped) before the place was known.
  bool Finish() { return Placed || Place(*OpeningScriptPlace(Start, true)); }

 private:
  static constexpr std::size_t kMaxStart = 64 * 1024;

  bool Place(std::size_t at) {
    Placed = true;
    const bool sent = Out.Write(Start.data(), at) && Out.Write(kPopupOpenScript.data(), kPopupOpenScript.size()) &&
                      Out.Write(Start.data() + at, Start.size() - at);
    Start.clear();
    return sent;
  }

  TByteSink& Out;
  std::string Start;
  bool Placed = false;
};

// Sends the page as it is scanned, between the popup scripts when they are wanted; the opening one
// goes after a leading doctype, so the page keeps its standards mode.
void StreamPage(TFilterProxyControl& request) {
  const bool scripts = WantsPopupScripts(request.Settings());
  TResponseHead& response = request.Response();
  // The filters change the page's length, so none is announced: the close ends the page.
  response.ContentLength = -1;
  response.Headers.RemoveAll("Content-length");
  TPageTags tags(request);
  TPageScan scan(request);
  TClientSink client(request);
  // The head goes out with the first piece of the page, in one send.
  client.Hold(request.ResponseHeadText());
  TScriptPlacingSink placing(client);
  TByteSink& sink = scripts ? static_cast<TByteSink&>(placing) : client;
  for (;;) {
    const TScanStep step = scan.Next(tags, sink);
    if (step == TScanStep::More && request.BodyOverBound()) {
      scan.PassRestUnfiltered(sink);
      break;
    }
    // Once the whole page is in, what is held goes out with the closing script in one send.
    if (step != TScanStep::More || (!request.BodyAllRead() && !client.Flush())) break;
  }
  if (scripts) placing.Finish();
  // Attempted also after a failed send: the page must not keep the dummy window function. It goes
  // with the last piece of the page.
  if (scripts) client.Write(kPopupCloseScript.data(), kPopupCloseScript.size());
  client.Flush();
  // A cut or damaged body ends the page early; the log tells how much of it was sent, both scripts
  // included.
  if (request.BodyCutShort()) response.ContentLength = client.Sent();
}

}  // namespace

TPageTags::TPageTags(TFilterProxyControl& request)
    : Request(request),
      TagFilter(request.Settings().TagFilter),
      Popups(WantsPopupScripts(request.Settings())),
      Page(request) {}

void TPageTags::OnTag(std::string& tag, THtmlScanState& state) {
  if (TagFilter) FilterTag(Request, Page, tag, state, Tag);
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
  if (static_cast<std::size_t>(Held.Capacity) < n) return SendCounted(bytes, n);
  Held.Write(bytes, static_cast<std::int32_t>(n));
  return true;
}

void TClientSink::Hold(std::string_view head) {
  // Sent first, not counted: Sent() tells the page's bytes.
  if (!Held.Empty() || static_cast<std::size_t>(Held.Capacity) < head.size()) {
    Flush();
    SendAll(Request, head.data(), head.size());
    return;
  }
  Held.Write(head.data(), static_cast<std::int32_t>(head.size()));
  Uncounted = static_cast<std::int64_t>(head.size());
}

bool TClientSink::Flush() {
  const auto bytes = Held.Peek();
  Held.Clear();
  const std::int64_t uncounted = std::exchange(Uncounted, 0);
  if (!SendAll(Request, reinterpret_cast<const char*>(bytes.data()), bytes.size())) return false;
  Total += static_cast<std::int64_t>(bytes.size()) - uncounted;
  return true;
}

bool TClientSink::SendCounted(const char* bytes, std::size_t n) {
  if (!SendAll(Request, bytes, n)) return false;
  Total += static_cast<std::int64_t>(n);
  return true;
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

bool TPageScan::PassRestUnfiltered(TByteSink& out) {
  if (State.Mode != THtmlScanMode::Text && !out.Write(State.TagText.data(), State.TagText.size())) return false;
  State = THtmlScanState();
  for (;;) {
    const std::int32_t got = Request.ReadBody(Piece.Data(), Piece.Capacity);
    if (got == 0) return true;
    if (!out.Write(reinterpret_cast<const char*>(Piece.Data()), static_cast<std::size_t>(got))) return false;
  }
}

bool WantsPopupScripts(const TPrefsSettings& settings) { return settings.Popups == TPopupRule::FilterOpened; }

bool HtmlFilterMayRead(const TFilterProxyControl& request) {
  const TPrefsSettings& settings = request.Settings();
  return settings.TagFilter || WantsPopupScripts(settings) || settings.HasWordEntries;
}

bool FilterHtml(TFilterProxyControl& request) {
  const TPrefsSettings& settings = request.Settings();
  if (!HtmlFilterMayRead(request)) return false;
  if (!request.StartFilteredBody()) return false;
  if (settings.HasWordEntries) {
    FilterWholePage(request);
  } else {
    StreamPage(request);
  }
  return true;
}

}  // namespace tarnwick
