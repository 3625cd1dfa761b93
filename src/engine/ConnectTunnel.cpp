// The CONNECT side of TFilterProxyControl: HTTPS tunnels. A tunnel's bytes are encrypted, so the
// only decision the filters can take is whether it may be opened at all.

#include "engine/FilterChain.h"
#include "engine/FilterProxyControl.h"
#include "engine/Tunnel.h"
#include "platform/Exceptions.h"
#include "platform/SocketAddress.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kHttpsPort = 443;
constexpr std::string_view kEstablished = "HTTP/1.0 200 Connection established\r\n\r\n";

}  // namespace

// A client elsewhere may only open tunnels to the web's HTTPS port: a proxy that connects to any
// port for anyone on the network is a relay for every kind of abuse. A client counts as on this
// machine when it comes from 127.0.0.1 or ::1, or from the very address it connected to.
bool TFilterProxyControl::TunnelAllowedForClient() const {
  if (RequestHead.HostPort == kHttpsPort) return true;
  if (Client == "127.0.0.1" || Client == "::1") return true;
  return !Client.empty() && Client == ClientStream->LocalAddress();
}

void TFilterProxyControl::ServeTunnel() {
  TRequestHead& request = RequestHead;
  if (request.Host.empty()) {
    AnswerWithError(TStatus::BadRequest, "No host to connect to");
    return;
  }
  if (request.HostPort == 0) request.HostPort = kHttpsPort;
  if (!TunnelAllowedForClient()) {
    Answer(TStatus::Forbidden);
    return;
  }
  if (!Settings().PassThru) {
    const std::string port = request.HostPort == kHttpsPort ? "" : ":" + std::to_string(request.HostPort);
    if (Filters->TunnelRefused(*this, "https://" + request.Host + port + "/")) {
      Answer(TStatus::PageBlocked);
      return;
    }
  }
  const bool upstream = !UpstreamHost.empty() && UpstreamPort != 0;
  if (!ConnectOrAnswer()) return;
  if (upstream) {
    if (!ConnectTunnelUpstream()) return;
  } else {
    ResponseHead.StatusCode = 200;
    ResponseHead.ReasonPhrase = "Connection established";
    if (!SendText(kEstablished)) return;
  }
  // A tunnel may rest longer than a request (a chat, a push channel), but not for ever.
  const int idleMs = SecondsToMs(Settings().Limits.TunnelIdleSec);
  ClientStream->SetIdleTimeout(idleMs);
  ServerStream->SetIdleTimeout(idleMs);
  const TTunnelCounts counts = RelayTunnel(*ClientStream, *ServerStream, idleMs);
  ResponseHead.ContentLength = counts.ToClient;
}

// The upstream proxy opens the tunnel; its answer goes to the client as it came. Anything but a
// success is passed on with its page and ends the request.
bool TFilterProxyControl::ConnectTunnelUpstream() {
  THeaderList& headers = RequestHead.Headers;
  headers.RemoveAll("Proxy-Connection");
  if (!ServerStream->WriteLine(RequestHead.RequestLine + "\r\n" + headers.HeadText())) return false;
  if (!ReadResponseHeadOrAnswer()) return false;
  const TResponseHead& response = ResponseHead;
  if (response.StatusCode < 200 || response.StatusCode >= 300) {
    SendResponseHead();
    RelayResponseBody();
    return false;
  }
  return SendText(response.StatusLine + "\r\n" + response.Headers.HeadText() + "\r\n");
}

}  // namespace tarnwick
