#pragma once
// TFilterProxy: the proxy's listening server, one per process. TFilterProxyThread: the thread that
// serves one browser connection through its own TFilterProxyControl.
//
// Connection threads are detached; each holds a shared_ptr to the preferences, so nothing it uses
// is freed under it when the server or the program goes away first.

#include <memory>

#include "engine/FilterProxyControl.h"
#include "engine/SockServer.h"

namespace tarnwick {

class TCorvanePrefs;

class TFilterProxy : public TSockServer {
 public:
  // Takes its port from the settings in force; `prefs` must not be null.
  explicit TFilterProxy(std::shared_ptr<TCorvanePrefs> prefs);
  ~TFilterProxy() override;

  // Listens on all interfaces when external access is allowed, else on 127.0.0.1 only.
  void Start() override;

 protected:
  void ClientConnected(std::unique_ptr<TSockStream> client) override;

 private:
  std::shared_ptr<TCorvanePrefs> Prefs;
};

class TFilterProxyThread : public TSockServerClientThread {
 public:
  TFilterProxyThread(std::shared_ptr<TCorvanePrefs> prefs, std::unique_ptr<TSockStream> client);

 protected:
  void ClientExecute() override;

 private:
  std::shared_ptr<TCorvanePrefs> Prefs;
  std::unique_ptr<TFilterProxyControl> Control;
};

}  // namespace tarnwick
