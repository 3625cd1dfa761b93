#pragma once
// TFilterProxyControl: one connection's request, from the request head to the last byte of the
// response, and the state the filters share with the engine while they work on it. Owned by its
// connection thread; it owns the client stream and the stream to the server.
//
// The request's settings are one snapshot, taken when the request starts, so that every step of it
// sees the same lists and switches even if the user applies new settings meanwhile.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/AccessLog.h"
#include "engine/Buffer.h"
#include "engine/HeaderList.h"
#include "engine/HtmlScanState.h"
#include "engine/ResponseBody.h"
#include "engine/SockStream.h"
#include "engine/StatusResponse.h"
#include "prefs/Prefs.h"

namespace tarnwick {

class TFilterChain;

class TFilterProxyControl {
 public:
  // Bodies pass through in pieces of this size. Large pieces keep a big download from costing two
  // system calls per few kilobytes.
  static constexpr std::int32_t kRelaySize = 65536;

  // `prefs` and `filters` must not be null.
  TFilterProxyControl(std::shared_ptr<TCorvanePrefs> prefs, std::shared_ptr<const TFilterChain> filters,
                      std::unique_ptr<TSockStream> client);
  TFilterProxyControl(const TFilterProxyControl&) = delete;
  TFilterProxyControl& operator=(const TFilterProxyControl&) = delete;

  // Serves the connection's one request. Raises when the request ends early (bad head, socket
  // failure); whatever was sent stays sent.
  void ProcessRequest();

  // --- The HTTP message operations.
  void Reset();
  void ReadRequest();
  void Connect();
  void SendRequest();
  void RelayRequestBody();
  void ReadResponseHead();
  void SendResponseHead();
  void RelayResponseBody();
  bool SendText(std::string_view text);
  std::int32_t SendData(const void* bytes, std::int32_t count);
  // Closes both connections; never raises.
  void CloseSockets();

  // --- Answers made by the proxy itself.
  // Builds the answer for `status` and records its code, reason and page length for the log.
  std::string MakeStatusResponse(TStatus status, std::string_view url, std::string_view errorText,
                                 std::string_view extraHeader = {});
  // Builds and sends the answer for `status` with this request's URL.
  void AnswerWith(TStatus status, std::string_view errorText = {});
  // Answers the pseudo host's blank page; false for any other host.
  bool ServeBlankPage();

  // The response carries a Content-Encoding other than "identity": its body is not ours to read.
  bool ResponseIsEncoded() const;

  // What the access log reports of this request.
  TLogRecord LogRecord() const;

  // Settings and shared objects of this request.
  std::shared_ptr<TCorvanePrefs> Prefs;
  std::shared_ptr<const TPrefsSettings> Settings;

  std::string UpstreamHost;
  std::int32_t UpstreamPort = 0;
  std::unique_ptr<TSockStream> ClientStream;
  std::string ClientAddress;
  std::string RequestLine;
  std::string Method;
  std::string Url;
  std::string Scheme;
  std::string UrlUser;
  std::string UrlPassword;
  std::string Host;
  std::string PortText;
  std::string Path;
  std::string Version;
  THeaderList RequestHeaders;
  std::int64_t RequestLength = -1;  // 64-bit: uploads and downloads beyond 2 GiB are ordinary
  std::string RequestReferer;
  bool HeadEnded = false;
  std::int32_t HostPort = 0;
  std::unique_ptr<TSockStream> ServerStream;
  std::string StatusLine;
  std::string ResponseVersion;
  std::int32_t StatusCode = 0;
  std::string ReasonPhrase;
  THeaderList ResponseHeaders;
  std::string ContentType;
  std::int64_t ContentLength = -1;
  bool WholePage = false;
  bool ExceptionHit = false;
  TBuffer RelayBuffer{kRelaySize};

  // --- The response body as the content filters read it.
  // Readies the response body for a content filter: a chunked body will be read decoded and
  // Transfer-Encoding leaves the head. False (nothing changed) when its coding cannot be read.
  bool StartFilteredBody();
  // Up to n bytes of the (decoded) body; 0 at its end.
  std::int32_t ReadBody(void* into, std::int32_t n);
  // Sends the rest of the body as it arrives; false when sending failed.
  bool RelayRestOfBody();

  // --- The content filters' working state. The three work areas start small and are sized by the
  // filter that uses them, so that a request no content filter reads costs no memory for them.
  THtmlScanState HtmlScan;
  TParsedTag Tag;
  TBuffer ReadAhead{1};     // server to scanner
  TBuffer OutputBuffer{1};  // scanner to client; grown when a whole page is collected
  TBuffer ImageBuffer{1};   // the first bytes of a picture
  TResponseBody Body;

 private:
  // Copies the response body to the client: at least `limit` bytes, or all until the server closes
  // when limit < 0. The piece that crosses the limit is passed on whole.
  void RelayToClient(std::int64_t limit);
  // One status line and its header lines.
  void ReadOneResponseHead();
  // Connects to the server, or answers the 500 page and returns false.
  bool ConnectOrAnswer();
  // The whole exchange without any filter.
  void RelayUnfiltered();

  std::shared_ptr<const TFilterChain> Filters;
};

}  // namespace tarnwick
