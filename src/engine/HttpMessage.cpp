// The HTTP side of TFilterProxyControl: reading and forwarding heads, relaying bodies.

#include <string>

#include "engine/FilterProxyControl.h"
#include "filters/UrlText.h"
#include "platform/Exceptions.h"
#include "platform/SocketError.h"

namespace tarnwick {

namespace {

constexpr const char* kBadRequest = "Bad header in client request";
constexpr const char* kBadResponse = "Bad header in server response";

// Bounds the memory one head may take: a peer that sends header lines without end is cut off.
constexpr size_t kMaxHeaderLines = 1000;
constexpr int kMaxInterimResponses = 10;

std::int64_t ParseNumberOrThrow(std::string_view text, const char* message) {
  std::int64_t value = 0;
  if (!TryParseInteger(TrimBlanks(text), value)) throw EHTProxyException(message);
  return value;
}

// Reads header lines until an empty line; false when the stream ended first.
bool ReadHeaderLines(TSockStream& stream, THeaderList& headers, const char* message) {
  std::string line;
  for (;;) {
    if (!stream.ReadLine(line)) return false;
    if (line.empty()) return true;
    if (headers.Count() >= kMaxHeaderLines) throw EHTProxyException(message);
    headers.AddLine(line);
  }
}

}  // namespace

void TFilterProxyControl::ReadRequest() {
  RequestLine.clear();
  Method.clear();
  Url.clear();
  Version.clear();
  RequestLength = -1;
  if (!ClientStream->ReadLine(RequestLine)) throw EHTProxyException(kBadRequest);
  const auto tokens = SplitText(RequestLine, ' ');
  if (tokens.size() < 3) throw EHTProxyException(kBadRequest);
  Method = UpperAscii(tokens[0]);
  Url = tokens[1];
  Version = UpperAscii(tokens[2]);

  const TUrlParts parts = SplitUrl(Url);
  Scheme = parts.Scheme;
  UrlUser = parts.User;
  UrlPassword = parts.Password;
  Host = parts.Host;
  PortText = parts.Port;
  Path = parts.Path;
  if (!PortText.empty()) {
    const std::int64_t port = ParseNumberOrThrow(PortText, kBadRequest);
    HostPort = static_cast<std::int32_t>(port);
  }

  // A client that closes in the middle of its head is served with the lines it sent.
  ReadHeaderLines(*ClientStream, RequestHeaders, kBadRequest);
  const std::string length = RequestHeaders.Get("Content-length");
  if (!length.empty()) RequestLength = ParseNumberOrThrow(length, kBadRequest);
  RequestReferer = RequestHeaders.Get("Referer");
}

void TFilterProxyControl::Connect() {
  std::string target;
  int port = 0;
  if (!UpstreamHost.empty() && UpstreamPort != 0) {
    target = UpstreamHost;
    port = UpstreamPort;
  } else {
    if (Host.empty()) Host = "localhost";
    target = Host;
    port = HostPort == 0 ? 80 : HostPort;
  }
  // Only a time-out is worth another try; a refusal or an unknown name answers the same again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    ServerStream = std::make_unique<TSockStream>(Prefs.get());
    try {
      ServerStream->Open(target, port);
      return;
    } catch (const ESocketError& error) {
      LastSocketError = error.Code;
    } catch (...) {
      // The thread's error hook has recorded the code.
    }
    if (LastSocketError != wsa::kTimedOut) break;
  }
  throw EHTProxyException("Socket error");
}

void TFilterProxyControl::SendRequest() {
  if (Scheme.empty()) Scheme = "http";
  std::string target = Path;
  if (!UpstreamHost.empty()) {
    target = Scheme + "://" + Host + (PortText.empty() ? "" : ":" + PortText) + Path;
  } else if (target.empty() && Method != "CONNECT") {
    target = "/";  // "http://host" names the root; an empty target is no request at all
  }
  // One request per connection: the server must close after its answer, or the relay would hold
  // the connection (and its thread) until the server's idle time-out.
  RequestHeaders.RemoveAll("Proxy-Connection");
  RequestHeaders.RemoveAll("Keep-Alive");
  RequestHeaders.SetOnly("Connection", "close");
  std::string head;
  head.reserve(RequestLine.size() + 64 + RequestHeaders.Count() * 48);
  head.append(Method).append(" ").append(target).append(" ").append(Version).append("\r\n");
  head.append(RequestHeaders.HeadText());
  ServerStream->WriteLine(head);
}

void TFilterProxyControl::RelayRequestBody() {
  std::int64_t copied = 0;
  while (copied < RequestLength) {
    const std::int32_t got = ClientStream->ReadBuf(RelayBuffer.Data(), kRelaySize);
    if (got == 0) break;
    ServerStream->WriteBuf(RelayBuffer.Data(), got);
    copied += got;
  }
}

void TFilterProxyControl::ReadResponseHead() {
  // Interim answers (100 Continue to a forwarded "Expect: 100-continue", 102, 103) are not the
  // response: the client asked one question and gets the final answer. A bound keeps a server that
  // sends nothing else from holding the connection for ever.
  for (int interim = 0; interim < kMaxInterimResponses; ++interim) {
    ReadOneResponseHead();
    if (StatusCode < 100 || StatusCode >= 200 || StatusCode == 101 || ResponseVersion == "HTTP/0.9") return;
  }
  throw EHTProxyException(kBadResponse);
}

void TFilterProxyControl::ReadOneResponseHead() {
  StatusLine.clear();
  ResponseVersion.clear();
  ReasonPhrase.clear();
  ResponseHeaders.Clear();
  StatusCode = 0;
  ContentType = "text/html";
  ContentLength = -1;
  if (!ServerStream->ReadLine(StatusLine)) throw EHTProxyException(kBadResponse);
  if (UpperAscii(std::string_view(StatusLine).substr(0, 5)) != "HTTP/") {
    // No head at all: the line is the start of the body.
    ResponseVersion = "HTTP/0.9";
    StatusCode = 200;
    HeadEnded = true;
    return;
  }
  ResponseVersion = UpperAscii(std::string_view(StatusLine).substr(0, 8));
  const std::string_view codeText = StatusLine.size() > 9 ? std::string_view(StatusLine).substr(9, 3) : "";
  StatusCode = static_cast<std::int32_t>(ParseNumberOrThrow(codeText, kBadResponse));
  ReasonPhrase = StatusLine.size() > 13 ? StatusLine.substr(13) : std::string();

  const bool ended = ReadHeaderLines(*ServerStream, ResponseHeaders, kBadResponse);
  HeadEnded = ended || ResponseHeaders.Count() == 0;
  const std::string length = ResponseHeaders.Get("Content-length");
  if (!length.empty()) ContentLength = ParseNumberOrThrow(length, kBadResponse);
  const std::string type = ResponseHeaders.Get("Content-type");
  if (!type.empty()) ContentType = type;
}

void TFilterProxyControl::SendResponseHead() {
  if (ResponseVersion == "HTTP/0.9") {
    ClientStream->WriteLine(StatusLine);
    return;
  }
  if (ContentLength != -1) ResponseHeaders.Set("Content-length", std::to_string(ContentLength));
  ResponseHeaders.RemoveAll("Keep-Alive");
  ResponseHeaders.RemoveAll("Proxy-Connection");
  ResponseHeaders.SetOnly("Connection", "close");
  // The whole head in one send: the bytes are the same as line by line, without a packet for each.
  std::string head;
  head.append(ResponseVersion).append(" ").append(std::to_string(StatusCode)).append(" ").append(ReasonPhrase);
  head.append("\r\n").append(ResponseHeaders.HeadText());
  if (HeadEnded) head.append("\r\n");
  SendText(head);
}

void TFilterProxyControl::RelayResponseBody() {
  if (ContentLength != -1 || Method == "HEAD") {
    if (ContentLength > 0) RelayToClient(ContentLength);
  } else {
    RelayToClient(-1);
  }
}

bool TFilterProxyControl::StartFilteredBody() { return Body.Start(ResponseHeaders, ContentLength); }

std::int32_t TFilterProxyControl::ReadBody(void* into, std::int32_t n) {
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
  std::int64_t copied = 0;
  while (limit < 0 || copied < limit) {
    const std::int32_t got = ServerStream->ReadBuf(RelayBuffer.Data(), kRelaySize);
    if (got <= 0) break;
    if (ClientStream->WriteBuf(RelayBuffer.Data(), got) < got) break;
    copied += got;
  }
}

}  // namespace tarnwick
