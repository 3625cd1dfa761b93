#include "engine/FilterProxyControl.h"

#include "engine/FilterChain.h"
#include "filters/UrlText.h"
#include "platform/Exceptions.h"
#include "platform/SocketError.h"

namespace tarnwick {

TFilterProxyControl::TFilterProxyControl(std::shared_ptr<TCorvanePrefs> prefs,
                                         std::shared_ptr<const TFilterChain> filters,
                                         std::unique_ptr<TSockStream> client)
    : Prefs(std::move(prefs)),
      Settings(Prefs->Settings()),
      ClientStream(std::move(client)),
      ServerStream(std::make_unique<TSockStream>(Prefs.get())),
      Filters(std::move(filters)) {}

// The order of the decisions and filters below is the proxy's behaviour: each step may answer the
// request itself and end it.
void TFilterProxyControl::ProcessRequest() {
  Reset();
  // Taken before the head is read, so that the log names the sender of a malformed request too.
  ClientAddress = ClientStream->RemoteAddress();
  ReadRequest();
  if (Filters->CheckAccess(*this)) return;
  if (Settings->Offline) {
    AnswerWith(TStatus::NotModified);
    return;
  }
  if (Settings->PassThru) {
    RelayUnfiltered();
    return;
  }
  if (ServeBlankPage()) return;
  Filters->RewriteHeaders(*this);
  if (Settings->EnableRedir && Filters->CheckRedirection(*this)) return;
  if (Settings->RequestFilter && Filters->BlockCheck(*this)) {
    AnswerWith(TStatus::PageBlocked);
    return;
  }
  if (!ConnectOrAnswer()) return;
  if (Settings->EnableRedir && Filters->CheckRedirection(*this)) return;
  SendRequest();
  if (Method == "POST") RelayRequestBody();
  ReadResponseHead();
  if (Method == "HEAD" || StatusCode == 304) {
    SendResponseHead();
    return;
  }
  // Content filters read the body; an encoded body would only be corrupted by them.
  if (!ResponseIsEncoded()) {
    if (Filters->FilterImage(*this)) return;
    if (ContentType.find("text/html") != std::string::npos && StatusCode == 200) {
      Filters->FilterHtml(*this);
      return;
    }
  }
  SendResponseHead();
  RelayResponseBody();
}

void TFilterProxyControl::RelayUnfiltered() {
  if (!ConnectOrAnswer()) return;
  SendRequest();
  if (Method == "POST") RelayRequestBody();
  ReadResponseHead();
  SendResponseHead();
  RelayResponseBody();
}

bool TFilterProxyControl::ConnectOrAnswer() {
  try {
    Connect();
    return true;
  } catch (const EHTProxyException&) {
    AnswerWith(TStatus::ServerError, SocketErrorText(LastSocketError));
    return false;
  }
}

void TFilterProxyControl::Reset() {
  Settings = Prefs->Settings();
  RequestHeaders.Clear();
  ResponseHeaders.Clear();
  UpstreamHost = Settings->UseProxy ? Settings->ProxyName : std::string();
  UpstreamPort = Settings->UseProxy ? Settings->ProxyPort : 0;
  RequestLine.clear();
  Method.clear();
  Url.clear();
  Version.clear();
  RequestLength = -1;
  RequestReferer.clear();
  Scheme.clear();
  UrlUser.clear();
  UrlPassword.clear();
  Host.clear();
  PortText.clear();
  Path.clear();
  HostPort = 0;
  StatusLine.clear();
  ResponseVersion.clear();
  ReasonPhrase.clear();
  ContentType.clear();
  StatusCode = 0;
  ContentLength = -1;
  ExceptionHit = false;
  RelayBuffer.Clear();
  HtmlScan = THtmlScanState();
  Tag.Clear();
}

bool TFilterProxyControl::ResponseIsEncoded() const {
  const std::string value = ResponseHeaders.Get("Content-Encoding");
  const std::string_view encoding = TrimBlanks(value);
  return !encoding.empty() && !SameTextIgnoringCase(encoding, "identity");
}

std::string TFilterProxyControl::MakeStatusResponse(TStatus status, std::string_view url,
                                                    std::string_view errorText, std::string_view extraHeader) {
  const TStatusRow& row = StatusRowOf(status);
  TStatusResponse response = BuildStatusResponse(row, url, errorText, extraHeader);
  StatusCode = row.Code;
  ReasonPhrase = row.Reason;
  ContentLength = response.PageLength;
  return std::move(response.Text);
}

void TFilterProxyControl::AnswerWith(TStatus status, std::string_view errorText) {
  SendText(MakeStatusResponse(status, Url, errorText));
}

bool TFilterProxyControl::ServeBlankPage() {
  if (Host.find(kPseudoHost) == std::string::npos || Path.find("blank.html") == std::string::npos) return false;
  AnswerWith(TStatus::BlankPage);
  return true;
}

TLogRecord TFilterProxyControl::LogRecord() const {
  return TLogRecord{ClientAddress, RequestLine, StatusCode, ContentLength};
}

bool TFilterProxyControl::SendText(std::string_view text) {
  const auto length = static_cast<std::int32_t>(text.size());
  return ClientStream->WriteBuf(text.data(), length) == length;
}

std::int32_t TFilterProxyControl::SendData(const void* bytes, std::int32_t count) {
  return ClientStream->WriteBuf(bytes, count);
}

void TFilterProxyControl::CloseSockets() {
  for (auto* stream : {ClientStream.get(), ServerStream.get()}) {
    if (stream == nullptr) continue;
    try {
      stream->Close();
    } catch (...) {
      // A failing close leaves nothing to do.
    }
  }
}

void TFilterChain::FilterHtml(TFilterProxyControl& request) const {
  request.SendResponseHead();
  request.RelayResponseBody();
}

}  // namespace tarnwick
