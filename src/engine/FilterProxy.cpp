#include "engine/FilterProxy.h"

#include <cstdio>
#include <ctime>
#include <string_view>

#include "prefs/Prefs.h"

namespace tarnwick {

namespace {

std::shared_ptr<const TFilterChain> NoFilters() {
  static const auto none = std::make_shared<const TFilterChain>();
  return none;
}

}  // namespace

TFilterProxy::TFilterProxy(TProxyContext context) : TSockServer(context.Prefs.get()), Context(std::move(context)) {
  if (!Context.Filters) Context.Filters = NoFilters();
  BindName.clear();
  Port = Context.Prefs->Settings()->ListenPort;
}

TFilterProxy::~TFilterProxy() { Terminate(); }

void TFilterProxy::Start() {
  // Both families, so that "localhost" reaches the proxy whichever address a browser tries first.
  const bool everywhere = Context.Prefs->Settings()->AllowOthers;
  BindAddress = everywhere ? "0.0.0.0" : "127.0.0.1";
  AlsoBindAddress = everywhere ? "::" : "::1";
  TSockServer::Start();
}

void TFilterProxy::ClientConnected(std::unique_ptr<TSockStream> client) {
  auto& active = Context.Prefs->ActiveConnections;
  const std::int32_t limit = Context.Prefs->Settings()->Limits.MaxConnections;
  if (active.load() >= limit) {
    RefuseBusy(*client, limit);
    return;
  }
  auto thread = std::make_unique<TFilterProxyThread>(Context, std::move(client));
  // Counted here, not on the new thread, so that a burst of connections cannot all slip under the
  // cap before their threads have started.
  active.fetch_add(1);
  if (!TSockServerClientThread::Run(ConnectionThreads, std::move(thread), static_cast<std::size_t>(limit))) {
    active.fetch_sub(1);
  }
}

int TFilterProxy::AcceptedIdleTimeoutMs() const {
  return SecondsToMs(Context.Prefs->Settings()->Limits.IdleTimeoutSec);
}

void TFilterProxy::RefuseBusy(TSockStream& client, std::int32_t limit) {
  static constexpr std::string_view kBusy =
      "HTTP/1.0 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 23\r\n"
      "Connection: close\r\nRetry-After: 5\r\n\r\nToo many connections.\r\n";
  // What the client already sent is read first: closing over unread bytes would reset the
  // connection and could destroy the answer before the client reads it.
  client.DiscardPending();
  client.WriteBuf(kBusy.data(), static_cast<std::int32_t>(kBusy.size()));
  client.Shutdown();
  LogRefusals(limit);
}

void TFilterProxy::LogRefusals(std::int32_t limit) {
  ++RefusedSinceLog;
  const auto now = std::chrono::steady_clock::now();
  if (now - LastRefusalLog < std::chrono::seconds(1)) return;
  std::fprintf(stderr, "tarnwick: %lld connection(s) refused with 503: %d connections open (the limit)\n",
               static_cast<long long>(RefusedSinceLog), static_cast<int>(limit));
  RefusedSinceLog = 0;
  LastRefusalLog = now;
}

TFilterProxyThread::TFilterProxyThread(const TProxyContext& context, std::unique_ptr<TSockStream> client)
    : TSockServerClientThread(nullptr),
      Context(context),
      Control(std::make_unique<TFilterProxyControl>(Context.Prefs, Context.Filters, std::move(client))) {
  Control->SetRelayPath(Context.RelayPath);
}

void TFilterProxyThread::ClientExecute(TConnectionPool::TFinishing& finishing) {
  TCorvanePrefs& prefs = *Context.Prefs;
  try {
    prefs.ConnCnt.fetch_add(1);
    Control->ProcessRequest();
  } catch (const std::exception&) {
    // A malformed head or a failed socket call ends the connection without another byte to the
    // client. Everything the pipeline raises derives from std::exception.
  }
  // Before the client sees the end: a client that comes straight back gets this thread.
  finishing.Announce();
  Control->CloseSockets();
  try {
    WriteLog();
  } catch (const std::exception&) {
    // A log line that cannot be made (out of memory) is lost; the connection is done either way.
  }
  prefs.ActiveConnections.fetch_sub(1);
}

void TFilterProxyThread::WriteLog() {
  // The request's own switches. A log switched off meanwhile is closed, and a line handed to a
  // closed log is dropped on the user-interface thread.
  const TPreparedSettings& settings = Control->Settings();
  if (!settings.LogEnabled || !Context.UiThread || !Context.Log) return;
  const TLogRecord record = Control->LogRecord();
  if (settings.DontLogMyself && record.ClientAddress == "127.0.0.1") return;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string line = FormatLogLine(record, local, Context.Prefs->TimeZone);
  const auto& log = Context.Log;
  Context.UiThread->RunAndWait([&line, &log] { log->Append(line); });
}

}  // namespace tarnwick
