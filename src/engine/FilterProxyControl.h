#pragma once
// TFilterProxyControl: one connection's request, from the request head to the last byte of the
// response. Owned by its connection thread; it owns the client stream and the stream to the server.
//
// Its public surface is what the connection thread and the filters need, and no more:
// - the thread runs ProcessRequest, then CloseSockets and LogRecord;
// - a filter reads the settings, the request and response heads and the client's address; edits
//   the heads; answers the client itself; or sends the response head, reads the body and sends
//   bytes. A filter's working state (scanner state, buffers) is the filter's own, not kept here.
//
// The request's settings are one snapshot, taken when the request object is made (as the
// connection is accepted), so every step of the request sees the same lists and switches even if
// the user applies new settings meanwhile.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/AccessLog.h"
#include "engine/BodyRelay.h"
#include "engine/Buffer.h"
#include "engine/ContentDecoder.h"
#include "engine/HeaderList.h"
#include "engine/RequestHeadParser.h"
#include "engine/ResponseBody.h"
#include "engine/SockStream.h"
#include "engine/StatusResponse.h"
#include "prefs/Prefs.h"

namespace tarnwick {

class TFilterChain;

// A limit in seconds as the milliseconds the sockets take, kept within 32 bits.
std::int32_t SecondsToMs(std::int32_t seconds);

// The client's request head, taken apart.
struct TRequestHead {
  std::string RequestLine;  // exactly as received
  std::string Method;       // upper case
  std::string Url;          // the second word of the request line, as sent
  std::string Version;      // upper case, forwarded as sent
  // The parts of Url.
  std::string Scheme;
  std::string UrlUser;
  std::string UrlPassword;
  std::string Host;
  std::string PortText;
  std::string Path;           // from the first "/", query included
  std::int32_t HostPort = 0;  // PortText as a number; 0 when none was given
  THeaderList Headers;
  std::int64_t ContentLength = -1;  // -1: no Content-length; 64-bit, since uploads beyond 2 GiB are ordinary
  TRequestFraming Framing;          // how the body that follows the head is framed
  std::string Referer;              // as received, whatever header rewriting does to it later
};

// The server's response head, or the head of an answer the proxy made itself.
struct TResponseHead {
  std::string StatusLine;  // as received; the first body line of a response without head
  std::string Version;     // upper case; "HTTP/0.9" for a response without head
  std::int32_t StatusCode = 0;
  std::string ReasonPhrase;
  THeaderList Headers;
  std::string ContentType;          // "text/html" when the server names none
  std::int64_t ContentLength = -1;  // -1: unknown; what the head sent on announces
  bool HeadEnded = false;           // the head's empty line came (and is passed on)
};

class TFilterProxyControl {
 public:
  // Bodies pass through in pieces of this size. Large pieces keep a big download from costing two
  // system calls per few kilobytes.
  static constexpr std::int32_t kRelaySize = 65536;

  // `prefs` and `filters` must not be null. Takes the settings snapshot of this request.
  TFilterProxyControl(std::shared_ptr<TCorvanePrefs> prefs, std::shared_ptr<const TFilterChain> filters,
                      std::unique_ptr<TSockStream> client);
  TFilterProxyControl(const TFilterProxyControl&) = delete;
  TFilterProxyControl& operator=(const TFilterProxyControl&) = delete;

  // --- The connection thread.
  // Serves the connection's one request. Raises when the request ends early (bad head:
  // EHTProxyException; socket failure: ESocketError); whatever was sent stays sent.
  void ProcessRequest();
  // Closes both connections; never raises.
  void CloseSockets();
  // What the access log reports of this request.
  TLogRecord LogRecord() const;
  // How bodies that no filter reads travel: zero-copy where the kernel allows it (the default), or
  // always through user space.
  void SetRelayPath(TRelayPath path) { Path = path; }

  // --- What a filter reads.
  // This request's settings: one snapshot for the whole request.
  const TPreparedSettings& Settings() const { return *Snapshot; }
  // The counters and remembered logins shared by all connections.
  TCorvanePrefs& Shared() const { return *Prefs; }
  // Dotted address of the client; empty when it could not be had.
  const std::string& ClientAddress() const { return Client; }
  // Dotted address of the server or upstream proxy; empty before the connection is made.
  std::string ServerAddress() const;
  TRequestHead& Request() { return RequestHead; }
  const TRequestHead& Request() const { return RequestHead; }
  TResponseHead& Response() { return ResponseHead; }
  const TResponseHead& Response() const { return ResponseHead; }

  // A block-list exception applied during this connection: the picture filters stand aside for the
  // rest of it. Set by the block list, read by the tag and image filters.
  bool ExceptionHit() const { return ExceptionMark; }
  void SetExceptionHit(bool hit) { ExceptionMark = hit; }

  // --- Answering the client instead of the server.
  // Sends the proxy's answer for `status` with this request's URL, its head lines followed by
  // `extraHeader` (a Location line), and records code, reason and page length for the log.
  void Answer(TStatus status, std::string_view extraHeader = {});
  // Sends an answer the filter made whole, recording `statusCode`, `reason` and `bodyLength`.
  void AnswerVerbatim(std::string_view answer, std::int32_t statusCode, std::string_view reason,
                      std::int64_t bodyLength);

  // --- Passing the response on, changed.
  // Sends Response() as the head (Content-length set from its ContentLength when known).
  void SendResponseHead();
  // The same head as text, for a filter that sends it together with the first body bytes (and
  // counts as sent).
  std::string ResponseHeadText();
  // Readies the response body for reading: a chunked body will be read decoded and
  // Transfer-Encoding leaves the head; a gzip, deflate or br body will be read decompressed and
  // Content-Encoding and Content-Length leave the head. False (nothing changed) when its coding
  // cannot be read.
  bool StartFilteredBody();
  // Up to n bytes of the (decoded) body; 0 at its end.
  std::int32_t ReadBody(void* into, std::int32_t n);
  // The compressed body decodes to so much more than it is that filtering it should stop; its
  // rest still comes decoded from ReadBody.
  bool BodyOverBound() const { return Decoder && Decoder->OverBound(); }
  // The whole body has been handed out by ReadBody (never known while decoding).
  bool BodyAllRead() const { return !Decoder && Body.AllRead(); }
  // The compressed body proved damaged: ReadBody ended early.
  bool BodyDamaged() const { return Decoder && Decoder->Damaged(); }
  // The body ended before its framing (or its compression) said it would. What was sent of it is
  // then never announced as complete: no length, and the client's connection ends with a reset.
  bool BodyCutShort() const { return Body.EndedEarly() || BodyDamaged(); }
  // Sends the rest of the body as it arrives; false when sending failed.
  bool RelayRestOfBody();
  // Sends bytes to the client: true / the count when all of them went.
  bool SendText(std::string_view text);
  std::int32_t SendData(const void* bytes, std::int32_t count);

 private:
  // The HTTP message steps, in the order a request uses them.
  void ReadRequest();
  // Connects to the server or the upstream proxy; raises ESocketError with the last failure's code.
  void Connect();
  // Where Connect goes: the upstream proxy, or the request's host and port.
  void ConnectTarget(std::string& target, int& port);
  // The server or upstream proxy to connect to is this proxy itself.
  bool LeadsBackToProxy();
  // Connects to the server, or answers the 508 page for a loop or the 500 page, and returns false.
  bool ConnectOrAnswer();
  void SendRequest();
  void RelayRequestBody();
  void ReadResponseHead();
  // One status line and its header lines.
  void ReadOneResponseHead();
  void RelayResponseBody();
  // Copies the response body to the client: at least `limit` bytes, or all until the server closes
  // when limit < 0. The piece that crosses the limit is passed on whole.
  void RelayToClient(std::int64_t limit);
  // The whole exchange without any filter.
  void RelayUnfiltered();
  // Answers the pseudo host's blank page; false for any other host.
  bool ServeBlankPage();
  // The response's Content-Encoding as the decoders see it; several of them count as Unsupported.
  TContentCoding ResponseCoding() const;
  // A chunked request body, passed on with its framing up to its last chunk.
  void RelayChunkedRequestBody();
  // Reads the request head, or answers 400 and returns false.
  bool ReadRequestOrAnswer();
  // Answers a head that no server shall see, then lets the client's unread bytes drain so that the
  // answer is not lost to a reset.
  void RefuseRequest(const EBadRequest& reason);
  // Reads the response head; a head too large to pass whole is answered with the 500 page.
  bool ReadResponseHeadOrAnswer();
  // Offers the server only the codings the content filters can read.
  void NarrowAcceptEncoding();
  // The CONNECT request: checks, connection and the tunnel.
  void ServeTunnel();
  bool TunnelAllowedForClient() const;
  bool ConnectTunnelUpstream();
  void AnswerWithError(TStatus status, std::string_view errorText);
  std::unique_ptr<TSockStream> NewServerStream() const;
  std::int32_t IdleTimeoutMs() const;

  // Constant after construction.
  const std::shared_ptr<TCorvanePrefs> Prefs;
  const std::shared_ptr<const TPreparedSettings> Snapshot;
  const std::shared_ptr<const TFilterChain> Filters;
  const std::string UpstreamHost;  // empty when no upstream proxy is used
  const std::int32_t UpstreamPort;

  std::unique_ptr<TSockStream> ClientStream;
  std::unique_ptr<TSockStream> ServerStream;
  std::string Client;
  TRequestHead RequestHead;
  TResponseHead ResponseHead;
  bool ExceptionMark = false;
  bool RelayCutShort = false;   // an unfiltered body with a length ended before it
  bool ServerHeadSent = false;  // the client got the server's answer, not one the proxy made
  TBuffer RelayBuffer{kRelaySize};
  TRelayPath Path = TRelayPath::ZeroCopyWherePossible;
  TResponseBody Body;

  // The framed response body as the decoder's byte source.
  class TFramedBody : public TByteSource {
   public:
    explicit TFramedBody(TFilterProxyControl& request) : Request(request) {}
    std::int32_t Read(std::uint8_t* into, std::int32_t n) override {
      return Request.Body.Read(*Request.ServerStream, into, n);
    }

   private:
    TFilterProxyControl& Request;
  };
  TFramedBody FramedBody{*this};
  std::unique_ptr<TDecodingSource> Decoder;  // set while a compressed body is read decoded
};

}  // namespace tarnwick
