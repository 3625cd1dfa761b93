#include "engine/FilterProxyControl.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "engine/FilterChain.h"
#include "platform/Exceptions.h"
#include "platform/SocketError.h"
#include "text/UrlText.h"

namespace tarnwick {

TFilterProxyControl::TFilterProxyControl(std::shared_ptr<TCorvanePrefs> prefs,
                                         std::shared_ptr<const TFilterChain> filters,
                                         std::unique_ptr<TSockStream> client)
    : Prefs(std::move(prefs)),
      Snapshot(Prefs->Settings()),
      Filters(std::move(filters)),
      UpstreamHost(Snapshot->UseProxy ? Snapshot->ProxyName : std::string()),
      UpstreamPort(Snapshot->UseProxy ? Snapshot->ProxyPort : 0),
      ClientStream(std::move(client)),
      ServerStream(NewServerStream()) {
  ClientStream->SetReceivedViaProxy(Snapshot->UseProxy);
  ClientStream->SetIdleTimeout(IdleTimeoutMs());
  ClientStream->EnableKeepAlive();
}

std::int32_t SecondsToMs(std::int32_t seconds) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(seconds * 1000LL, INT32_MAX));
}

std::int32_t TFilterProxyControl::IdleTimeoutMs() const { return SecondsToMs(Snapshot->Limits.IdleTimeoutSec); }

// The order of the decisions and filters below is the proxy's behaviour: each step may answer the
// request itself and end it.
void TFilterProxyControl::ProcessRequest() {
  // Taken before the head is read, so that the log names the sender of a malformed request too.
  Client = ClientStream->RemoteAddress();
  // A head trickling in byte by byte would hold the thread for ever under the idle rule alone.
  ClientStream->SetReadDeadline(std::chrono::steady_clock::now() +
                                std::chrono::seconds(Snapshot->Limits.HeadTimeoutSec));
  const bool headRead = ReadRequestOrAnswer();
  ClientStream->ClearReadDeadline();
  if (!headRead) return;
  // A head cut short by the clock is not a head: nothing of it may be forwarded.
  if (ClientStream->TimedOut()) throw EHTProxyException("Request head not received in time");
  const TPreparedSettings& settings = Settings();
  if (Filters->CheckAccess(*this)) return;
  if (settings.Offline) {
    Answer(TStatus::NotModified);
    return;
  }
  if (RequestHead.Method == "CONNECT") {
    ServeTunnel();
    return;
  }
  if (settings.PassThru) {
    RelayUnfiltered();
    return;
  }
  if (ServeBlankPage()) return;
  Filters->RewriteHeaders(*this);
  if (settings.EnableRedir && Filters->CheckRedirection(*this)) return;
  if (settings.RequestFilter && Filters->BlockCheck(*this)) {
    Answer(TStatus::PageBlocked);
    return;
  }
  if (!ConnectOrAnswer()) return;
  if (settings.EnableRedir && Filters->CheckRedirection(*this)) return;
  NarrowAcceptEncoding();
  SendRequest();
  RelayRequestBody();
  if (!ReadResponseHeadOrAnswer()) return;
  if (RequestHead.Method == "HEAD" || ResponseHead.StatusCode == 304) {
    SendResponseHead();
    return;
  }
  // Content filters read the body, decoded where it is compressed in a way we can read; a body in
  // any other coding would only be corrupted by them.
  if (ResponseCoding() != TContentCoding::Unsupported) {
    if (Filters->FilterImage(*this)) return;
    if (ResponseHead.ContentType.find("text/html") != std::string::npos && ResponseHead.StatusCode == 200 &&
        Filters->FilterHtml(*this)) {
      return;
    }
  }
  SendResponseHead();
  RelayResponseBody();
}

void TFilterProxyControl::RelayUnfiltered() {
  if (!ConnectOrAnswer()) return;
  SendRequest();
  RelayRequestBody();
  if (!ReadResponseHeadOrAnswer()) return;
  SendResponseHead();
  RelayResponseBody();
}

bool TFilterProxyControl::ReadRequestOrAnswer() {
  try {
    ReadRequest();
    return true;
  } catch (const EBadRequest& reason) {
    RefuseRequest(reason);
    return false;
  }
}

void TFilterProxyControl::RefuseRequest(const EBadRequest& reason) {
  AnswerWithError(TStatus::BadRequest, reason.what());
  // Closing with unread bytes would reset the connection and could destroy the answer before the
  // client read it. A client that sends without end is given a short time, then cut off.
  ClientStream->ShutdownSending();
  ClientStream->SetIdleTimeout(2000);
  std::int64_t drained = 0;
  while (drained < 4 * kRelaySize) {
    const std::int32_t got = ClientStream->ReadBuf(RelayBuffer.Data(), kRelaySize);
    if (got <= 0) break;
    drained += got;
  }
}

bool TFilterProxyControl::ReadResponseHeadOrAnswer() {
  try {
    ReadResponseHead();
    return true;
  } catch (const EHeadTooLarge&) {
    AnswerWithError(TStatus::ServerError, "Bad header in server response");
    return false;
  }
}

void TFilterProxyControl::NarrowAcceptEncoding() {
  THeaderList& headers = RequestHead.Headers;
  if (!Filters->MayReadBodies(*this) || !headers.Has("Accept-Encoding")) return;
  headers.SetOnly("Accept-Encoding", DecodableCodings(headers.Get("Accept-Encoding")));
}

bool TFilterProxyControl::ConnectOrAnswer() {
  // Each pass through itself would open one more connection, until threads or files run out.
  if (LeadsBackToProxy()) {
    Answer(TStatus::LoopDetected);
    return false;
  }
  try {
    Connect();
    return true;
  } catch (const ESocketError& error) {
    AnswerWithError(TStatus::ServerError, SocketErrorText(error.Code));
    return false;
  }
}

std::unique_ptr<TSockStream> TFilterProxyControl::NewServerStream() const {
  auto stream = std::make_unique<TSockStream>(Prefs.get());
  stream->SetReceivedViaProxy(Snapshot->UseProxy);
  return stream;
}

std::string TFilterProxyControl::ServerAddress() const { return ServerStream->RemoteAddress(); }

TContentCoding TFilterProxyControl::ResponseCoding() const {
  const THeaderList& headers = ResponseHead.Headers;
  int codings = 0;
  for (const std::string& entry : headers.Lines()) {
    if (SameTextIgnoringCase(std::string_view(entry).substr(0, entry.find('=')), "Content-Encoding")) ++codings;
  }
  if (codings > 1) return TContentCoding::Unsupported;
  return ContentCodingOf(headers.Get("Content-Encoding"));
}

void TFilterProxyControl::AnswerWithError(TStatus status, std::string_view errorText) {
  const TStatusRow& row = StatusRowOf(status);
  TStatusResponse response = BuildStatusResponse(row, RequestHead.Url, errorText);
  AnswerVerbatim(response.Text, row.Code, row.Reason, response.PageLength);
}

void TFilterProxyControl::Answer(TStatus status, std::string_view extraHeader) {
  const TStatusRow& row = StatusRowOf(status);
  TStatusResponse response = BuildStatusResponse(row, RequestHead.Url, {}, extraHeader);
  AnswerVerbatim(response.Text, row.Code, row.Reason, response.PageLength);
}

void TFilterProxyControl::AnswerVerbatim(std::string_view answer, std::int32_t statusCode, std::string_view reason,
                                         std::int64_t bodyLength) {
  ResponseHead.StatusCode = statusCode;
  ResponseHead.ReasonPhrase = reason;
  ResponseHead.ContentLength = bodyLength;
  SendText(answer);
}

bool TFilterProxyControl::ServeBlankPage() {
  if (RequestHead.Host.find(kPseudoHost) == std::string::npos ||
      RequestHead.Path.find("blank.html") == std::string::npos) {
    return false;
  }
  Answer(TStatus::BlankPage);
  return true;
}

TLogRecord TFilterProxyControl::LogRecord() const {
  return TLogRecord{Client, RequestHead.RequestLine, ResponseHead.StatusCode, ResponseHead.ContentLength};
}

bool TFilterProxyControl::SendText(std::string_view text) {
  const auto length = static_cast<std::int32_t>(text.size());
  return ClientStream->WriteBuf(text.data(), length) == length;
}

std::int32_t TFilterProxyControl::SendData(const void* bytes, std::int32_t count) {
  return ClientStream->WriteBuf(bytes, count);
}

void TFilterProxyControl::CloseSockets() {
  // An orderly end after a short body would read as the whole answer to the client. An answer the
  // proxy made itself (a page blocked for its words) is whole, however the server's body ended.
  if (ClientStream && ServerHeadSent && (RelayCutShort || BodyCutShort())) ClientStream->ResetOnClose();
  for (auto* stream : {ClientStream.get(), ServerStream.get()}) {
    if (stream == nullptr) continue;
    try {
      stream->Close();
    } catch (const ESocketError&) {
      // A failing close leaves nothing to do: the handle is released either way.
    }
  }
}

}  // namespace tarnwick
