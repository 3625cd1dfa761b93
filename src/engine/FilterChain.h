#pragma once
// TFilterChain: the request and content filters as the pipeline sees them. ProcessRequest calls
// each at its fixed step; the order is written once, there. This base passes everything through,
// so a filter overrides only the steps it cares about and declines early when it has nothing to do.
//
// One chain serves every connection at once: implementations keep no per-request state in
// themselves (a step's working state lives on its own stack, a connection's marks in the request)
// and are safe to call from many threads. What a step may do with the request is the filter
// surface of TFilterProxyControl.

#include <string_view>

namespace tarnwick {

class TFilterProxyControl;

class TFilterChain {
 public:
  virtual ~TFilterChain() = default;

  // True when it has answered the client itself (refused or asked for a password).
  virtual bool CheckAccess(TFilterProxyControl&) const { return false; }
  // Edits the request headers only.
  virtual void RewriteHeaders(TFilterProxyControl&) const {}
  // True when it has answered the client itself. Called before the server is connected and again
  // after, when the server's address is known.
  virtual bool CheckRedirection(TFilterProxyControl&) const { return false; }
  // True when the URL is to be blocked; the pipeline answers.
  virtual bool BlockCheck(TFilterProxyControl&) const { return false; }
  // True when it has sent the whole response itself (a GIF or JPEG picture).
  virtual bool FilterImage(TFilterProxyControl&) const { return false; }
  // True when it has sent the whole response itself (an HTML page); false leaves the plain relay
  // to the pipeline.
  virtual bool FilterHtml(TFilterProxyControl&) const { return false; }

  // True when a tunnel to `url` ("https://host/", ":port" added for a port other than 443) may not
  // be opened: a tunnel cannot be filtered or redirected, only refused. The pipeline answers.
  virtual bool TunnelRefused(TFilterProxyControl&, std::string_view /*url*/) const { return false; }
  // Whether a content filter may read this request's response body (so the server should be
  // offered only codings the proxy can decode).
  virtual bool MayReadBodies(const TFilterProxyControl&) const { return false; }
};

}  // namespace tarnwick
