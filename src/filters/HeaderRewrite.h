#pragma once
// Request header rewriting: removal of the Referer by the user's rule and the product mark in the
// User-Agent. Runs on the request's own connection thread and edits only the forwarded headers;
// request.Request().Referer keeps the value the browser sent.

namespace tarnwick {

class TFilterProxyControl;

void RewriteHeaders(TFilterProxyControl& request);

}  // namespace tarnwick
