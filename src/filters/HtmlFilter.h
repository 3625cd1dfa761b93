#pragma once
// FilterHtml: carries an HTML response from the server to the browser through the scanner, with the
// tag filter and the popup filter deciding about each tag. Streamed pages go out while they arrive,
// without a Content-length (the tag filter changes the length; the close ends the page). A page
// that no content filter would change is left to the plain relay, exactly as the server framed it.
//
// The filter's working state for one page (scanner state, tag workspace, read and send buffers)
// lives in the objects below, made by FilterHtml for that page; the request object keeps none of
// it. The pieces are shared with the word analysis, which collects a whole page before sending it.
// Everything runs on the request's connection thread.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Buffer.h"
#include "filters/HtmlScanner.h"
#include "filters/TagFilter.h"

namespace tarnwick {

class TFilterProxyControl;
struct TPrefsSettings;

// The tag decisions of one page: the tag filter when it is on, then the popup rewriting.
class TPageTags : public TTagHandler {
 public:
  explicit TPageTags(TFilterProxyControl& request);
  void OnTag(std::string& tag, THtmlScanState& state) override;
  TTagTriggers Triggers() const override;

 private:
  TFilterProxyControl& Request;
  const bool TagFilter;
  const bool Popups;
  const TPageContext Page;
  TParsedTag Tag;  // workspace reused from tag to tag
};

// Scanned bytes on their way to the browser, gathered and sent when the buffer is full or on
// Flush().
class TClientSink : public TByteSink {
 public:
  explicit TClientSink(TFilterProxyControl& request);
  bool Write(const char* bytes, std::size_t n) override;
  // Holds the response head to go out with the first bytes of the page.
  void Hold(std::string_view head);
  bool Flush();
  // Bytes sent to the client so far.
  std::int64_t Sent() const { return Total; }

 private:
  bool SendCounted(const char* bytes, std::size_t n);

  TFilterProxyControl& Request;
  TBuffer Held;
  std::int64_t Total = 0;
  std::int64_t Uncounted = 0;  // bytes of Held that are the head, not the page
};

enum class TScanStep { More, Ended, Failed };

// One response body read from the server and fed through the scanner piece by piece.
class TPageScan {
 public:
  explicit TPageScan(TFilterProxyControl& request);

  // Reads what the server has sent of the body (at most one piece) and scans it into `out`.
  // Ended: the body is over and the scan finished. Failed: `out` refused bytes.
  TScanStep Next(TTagHandler& tags, TByteSink& out);
  // Filtering stops (a compressed body over the decoding bound): what the scanner holds of an
  // unfinished tag goes out as it is, and the rest of the body follows unfiltered. False when
  // `out` refused bytes.
  bool PassRestUnfiltered(TByteSink& out);

 private:
  TFilterProxyControl& Request;
  THtmlScanState State;
  TBuffer Piece;
};

// Whether the popup scripts wrap the page.
bool WantsPopupScripts(const TPrefsSettings& settings);

// Whether FilterHtml would read a page of this request (a filter is on that could change it).
bool HtmlFilterMayRead(const TFilterProxyControl& request);

// True when it has sent the response; false when no content filter would change this page (or its
// transfer coding is unknown) and the pipeline relays it unchanged.
bool FilterHtml(TFilterProxyControl& request);

}  // namespace tarnwick
