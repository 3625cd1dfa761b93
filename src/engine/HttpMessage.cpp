// The HTTP side of TFilterProxyControl: reading and forwarding heads, relaying bodies.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/BodyRelay.h"
#include "engine/FilterProxyControl.h"
#include "platform/Exceptions.h"
#include "platform/SocketAddress.h"
#include "platform/SocketError.h"
#include "text/UrlText.h"

namespace tarnwick {

namespace {

constexpr const char* kBadRequest = "Bad header in client request";
constexpr const char* kBadResponse = "Bad header in server response";

constexpr int kMaxInterimResponses = 10;

std::int64_t ParseNumberOrThrow(std::string_view text, const char* message) {
  std::int64_t value = 0;
  if (!TryParseInteger(TrimBlanks(text), value)) throw EHTProxyException(message);
  return value;
}

enum class THeadEnd { EmptyLine, StreamEnded, TooLarge };

// Reads header lines until an empty line. `headBytes` counts the head's bytes so far, line ends
// included; a head that grows past kMaxHeadBytes stops with TooLarge. The line-count bound keeps
// a peer from sending empty-named lines without end.
// `fault`, when given, receives the first line's HeadLineFault.
THeadEnd ReadHeaderLines(TSockStream& stream, THeaderList& headers, std::size_t& headBytes, const char* message,
                         const char** fault = nullptr) {
  std::string line;
  for (;;) {
    if (!stream.ReadLine(line)) return stream.LineTooLong() ? THeadEnd::TooLarge : THeadEnd::StreamEnded;
    headBytes += line.size() + 2;
    if (headBytes > kMaxHeadBytes) return THeadEnd::TooLarge;
    if (line.empty()) return THeadEnd::EmptyLine;
    if (headers.Count() >= kMaxHeaderLines) throw EHTProxyException(message);
    if (fault != nullptr && *fault == nullptr) *fault = HeadLineFault(line, true);
    headers.AddLine(line);
  }
}

}  // namespace

void TFilterProxyControl::ReadRequest() {
  TRequestHead& head = RequestHead;
  if (!ClientStream->ReadLine(head.RequestLine)) {
    if (ClientStream->LineTooLong()) throw EBadRequest(kHeadTooLarge);
    throw EHTProxyException(kBadRequest);
  }
  const auto tokens = SplitText(head.RequestLine, ' ');
  if (tokens.size() < 3) throw EHTProxyException(kBadRequest);
  head.Method = UpperAscii(tokens[0]);
  head.Url = tokens[1];
  head.Version = UpperAscii(tokens[2]);

  const TUrlParts parts = SplitUrl(head.Url);
  head.Scheme = parts.Scheme;
  head.UrlUser = parts.User;
  head.UrlPassword = parts.Password;
  head.Host = parts.Host;
  head.PortText = parts.Port;
  head.Path = parts.Path;

  // The whole head is read before anything is refused, so that the answer is not lost to unread
  // bytes. A client that closes in the middle of its head is served with the lines it sent.
  std::size_t headBytes = head.RequestLine.size() + 2;
  const char* fault = HeadLineFault(head.RequestLine, false);
  if (ReadHeaderLines(*ClientStream, head.Headers, headBytes, kBadRequest, &fault) == THeadEnd::TooLarge) {
    throw EBadRequest(kHeadTooLarge);
  }
  if (fault != nullptr) throw EBadRequest(fault);
  head.HostPort = ParsePort(head.PortText);
  head.Framing = RequestFramingOf(head.Headers);
  head.ContentLength = head.Framing.Length;
  head.Referer = head.Headers.Get("Referer");
}

void TFilterProxyControl::ConnectTarget(std::string& target, int& port) {
  if (!UpstreamHost.empty() && UpstreamPort != 0) {
    target = std::string(WithoutBrackets(UpstreamHost));
    port = UpstreamPort;
  } else {
    if (RequestHead.Host.empty()) RequestHead.Host = "localhost";
    target = std::string(WithoutBrackets(RequestHead.Host));
    port = RequestHead.HostPort == 0 ? 80 : RequestHead.HostPort;
  }
}

bool TFilterProxyControl::LeadsBackToProxy() {
  std::string target;
  int port = 0;
  ConnectTarget(target, port);
  // The port the client reached is the port the proxy listens on; the name is resolved only when
  // the ports agree, so ordinary requests cost no extra look-up.
  if ((port & 0xFFFF) != ClientStream->LocalPort()) return false;
  try {
    for (const TSocketAddress& address : ResolveHost(target, port)) {
      if (IsOwnMachineAddress(address)) return true;
    }
  } catch (const ESocketError&) {
    // the connection attempt reports the unknown name
  }
  return false;
}

void TFilterProxyControl::Connect() {
  std::string target;
  int port = 0;
  ConnectTarget(target, port);
  // Only a time-out is worth another try; a refusal or an unknown name answers the same again.
  int code = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    ServerStream = NewServerStream();
    try {
      ServerStream->Open(target, port);
      ServerStream->SetIdleTimeout(IdleTimeoutMs());
      ServerStream->EnableKeepAlive();
      return;
    } catch (const ESocketError& error) {
      code = error.Code;
    }
    if (code != wsa::kTimedOut) break;
  }
  RaiseSocketError(code, "connect");
}

void TFilterProxyControl::SendRequest() {
  TRequestHead& request = RequestHead;
  if (request.Scheme.empty()) request.Scheme = "http";
  std::string target = request.Path;
  if (!UpstreamHost.empty()) {
    target =
        request.Scheme + "://" + request.Host + (request.PortText.empty() ? "" : ":" + request.PortText) + request.Path;
  } else if (target.empty() && request.Method != "CONNECT") {
    target = "/";  // "http://host" names the root; an empty target is no request at all
  }
  // One request per connection: the server must close after its answer, or the relay would hold
  // the connection (and its thread) until the server's idle time-out.
  THeaderList& headers = request.Headers;
  headers.RemoveAll("Proxy-Connection");
  headers.RemoveAll("Keep-Alive");
  headers.SetOnly("Connection", "close");
  std::string head;
  head.reserve(request.RequestLine.size() + 64 + headers.Count() * 48);
  head.append(request.Method).append(" ").append(target).append(" ").append(request.Version).append("\r\n");
  head.append(headers.HeadText());
  ServerStream->WriteLine(head);
}

void TFilterProxyControl::RelayRequestBody() {
  const TRequestFraming& framing = RequestHead.Framing;
  if (framing.Kind == TBodyFraming::Length) {
    if (framing.Length > 0)
      RelayBytes(*ClientStream, *ServerStream, framing.Length, TRelayStop::AtLimit, RelayBuffer, Path);
  } else if (framing.Kind == TBodyFraming::Chunked) {
    RelayChunkedRequestBody();
  }
}

void TFilterProxyControl::RelayChunkedRequestBody() {
  // The body goes on with its framing; a decoder working on a copy finds where the last chunk
  // ends, so that nothing after it is forwarded as part of this request.
  TChunkedDecoder framing;
  std::vector<std::uint8_t> copy(kRelaySize);
  while (!framing.Finished()) {
    const std::int32_t got = ClientStream->ReadBuf(RelayBuffer.Data(), kRelaySize);
    if (got == 0) break;
    std::memcpy(copy.data(), RelayBuffer.Data(), static_cast<std::size_t>(got));
    framing.Decode(copy.data(), got);
    const std::int32_t part = framing.Finished() ? framing.LastConsumed() : got;
    if (ServerStream->WriteBuf(RelayBuffer.Data(), part) < part) break;
  }
}

void TFilterProxyControl::ReadResponseHead() {
  // Interim answers (100 Continue to a forwarded "Expect: 100-continue", 102, 103) are not the
  // response: the client asked one question and gets the final answer. A bound keeps a server that
  // sends nothing else from holding the connection for ever.
  for (int interim = 0; interim < kMaxInterimResponses; ++interim) {
    ReadOneResponseHead();
    const std::int32_t code = ResponseHead.StatusCode;
    if (code < 100 || code >= 200 || code == 101 || ResponseHead.Version == "HTTP/0.9") return;
  }
  throw EHTProxyException(kBadResponse);
}

void TFilterProxyControl::ReadOneResponseHead() {
  TResponseHead& head = ResponseHead;
  head = TResponseHead();
  head.ContentType = "text/html";
  const std::string& line = head.StatusLine;
  if (!ServerStream->ReadLine(head.StatusLine)) throw EHTProxyException(kBadResponse);
  if (UpperAscii(std::string_view(line).substr(0, 5)) != "HTTP/") {
    // No head at all: the line is the start of the body.
    head.Version = "HTTP/0.9";
    head.StatusCode = 200;
    head.HeadEnded = true;
    return;
  }
  head.Version = UpperAscii(std::string_view(line).substr(0, 8));
  const std::string_view codeText = line.size() > 9 ? std::string_view(line).substr(9, 3) : "";
  head.StatusCode = static_cast<std::int32_t>(ParseNumberOrThrow(codeText, kBadResponse));
  head.ReasonPhrase = line.size() > 13 ? line.substr(13) : std::string();

  std::size_t headBytes = line.size() + 2;
  const THeadEnd end = ReadHeaderLines(*ServerStream, head.Headers, headBytes, kBadResponse);
  if (end == THeadEnd::TooLarge) throw EHeadTooLarge(kBadResponse);
  head.HeadEnded = end == THeadEnd::EmptyLine || head.Headers.Count() == 0;
  const std::string length = head.Headers.Get("Content-length");
  if (!length.empty()) head.ContentLength = ParseNumberOrThrow(length, kBadResponse);
  const std::string type = head.Headers.Get("Content-type");
  if (!type.empty()) head.ContentType = type;
}

void TFilterProxyControl::SendResponseHead() { SendText(ResponseHeadText()); }

std::string TFilterProxyControl::ResponseHeadText() {
  ServerHeadSent = true;  // the caller sends it
  TResponseHead& response = ResponseHead;
  if (response.Version == "HTTP/0.9") return response.StatusLine + "\r\n";
  THeaderList& headers = response.Headers;
  if (response.ContentLength != -1) headers.Set("Content-length", std::to_string(response.ContentLength));
  headers.RemoveAll("Keep-Alive");
  headers.RemoveAll("Proxy-Connection");
  headers.SetOnly("Connection", "close");
  // The whole head in one send: the bytes are the same as line by line, without a packet for each.
  std::string head;
  head.append(response.Version).append(" ").append(std::to_string(response.StatusCode)).append(" ");
  head.append(response.ReasonPhrase).append("\r\n").append(headers.HeadText());
  if (response.HeadEnded) head.append("\r\n");
  return head;
}

void TFilterProxyControl::RelayResponseBody() {
  const std::int64_t length = ResponseHead.ContentLength;
  if (length != -1 || RequestHead.Method == "HEAD") {
    if (length > 0) RelayToClient(length);
  } else {
    RelayToClient(-1);
  }
}

bool TFilterProxyControl::StartFilteredBody() {
  TResponseHead& response = ResponseHead;
  const TContentCoding coding = ResponseCoding();
  if (coding == TContentCoding::Unsupported || !Body.Start(response.Headers, response.ContentLength)) return false;
  Decoder.reset();
  if (coding != TContentCoding::Identity) {
    Decoder = std::make_unique<TDecodingSource>(coding, FramedBody);
    // The client gets the page decoded; its length is known only at the end.
    response.Headers.RemoveAll("Content-Encoding");
    response.Headers.RemoveAll("Content-Length");
    response.ContentLength = -1;
  }
  return true;
}

std::int32_t TFilterProxyControl::ReadBody(void* into, std::int32_t n) {
  if (Decoder) return Decoder->Read(static_cast<std::uint8_t*>(into), n);
  return Body.Read(*ServerStream, static_cast<std::uint8_t*>(into), n);
}

bool TFilterProxyControl::RelayRestOfBody() {
  for (;;) {
    const std::int32_t got = ReadBody(RelayBuffer.Data(), kRelaySize);
    if (got == 0) return true;
    if (ClientStream->WriteBuf(RelayBuffer.Data(), got) < got) return false;
  }
}

void TFilterProxyControl::RelayToClient(std::int64_t limit) {
  const TRelayOutcome relayed =
      RelayBytes(*ServerStream, *ClientStream, limit, TRelayStop::AfterCrossingPiece, RelayBuffer, Path);
  if (relayed.Moved >= limit || !relayed.SourceEnded) return;
  // A HEAD answer, a 204 and a 304 announce a length they never send.
  const int status = ResponseHead.StatusCode;
  RelayCutShort = limit >= 0 && RequestHead.Method != "HEAD" && status != 204 && status != 304;
  if (RelayCutShort) ResponseHead.ContentLength = relayed.Moved;  // the log tells what was sent
}

}  // namespace tarnwick
