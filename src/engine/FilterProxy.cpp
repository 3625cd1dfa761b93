#include "engine/FilterProxy.h"

#include "platform/Exceptions.h"
#include "platform/SocketError.h"
#include "prefs/Prefs.h"

namespace tarnwick {

TFilterProxy::TFilterProxy(std::shared_ptr<TCorvanePrefs> prefs)
    : TSockServer(prefs.get()), Prefs(std::move(prefs)) {
  BindName.clear();
  Port = Prefs->Settings()->ListenPort;
}

TFilterProxy::~TFilterProxy() { Terminate(); }

void TFilterProxy::Start() {
  BindAddress = Prefs->Settings()->AllowOthers ? "0.0.0.0" : "127.0.0.1";
  TSockServer::Start();
}

void TFilterProxy::ClientConnected(std::unique_ptr<TSockStream> client) {
  TSockServerClientThread::Run(std::make_unique<TFilterProxyThread>(Prefs, std::move(client)));
}

TFilterProxyThread::TFilterProxyThread(std::shared_ptr<TCorvanePrefs> prefs,
                                       std::unique_ptr<TSockStream> client)
    : TSockServerClientThread(nullptr),
      Prefs(std::move(prefs)),
      Control(std::make_unique<TFilterProxyControl>(Prefs, std::move(client))) {}

void TFilterProxyThread::ClientExecute() {
  Prefs->ActiveConnections.fetch_add(1);
  try {
    TScopedSocketErrorHook hook([](int code, std::string_view) {
      LastSocketError = code;
      throw EHTProxyException("Socket Error");
    });
    Prefs->ConnCnt.fetch_add(1);
    Control->WholePage = Prefs->Settings()->HasWordEntries;
    Control->ProcessRequest();
  } catch (...) {
    // The connection ends without another byte to the client.
  }
  Control->CloseSockets();
  Prefs->ActiveConnections.fetch_sub(1);
}

}  // namespace tarnwick
