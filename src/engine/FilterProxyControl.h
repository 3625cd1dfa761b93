#pragma once
// TFilterProxyControl: one connection's request state, owned by its TFilterProxyThread. It owns the
// client stream and the stream to the server.

#include <memory>

#include "engine/SockStream.h"

namespace tarnwick {

class TCorvanePrefs;

class TFilterProxyControl {
 public:
  TFilterProxyControl(std::shared_ptr<TCorvanePrefs> prefs, std::unique_ptr<TSockStream> client);

  // Serves the connection's one request. For now: answers one line with the same line.
  void ProcessRequest();
  // Closes both connections; never raises.
  void CloseSockets();

  bool WholePage = false;
  std::unique_ptr<TSockStream> ClientStream;
  std::unique_ptr<TSockStream> ServerStream;

 private:
  std::shared_ptr<TCorvanePrefs> Prefs;
};

}  // namespace tarnwick
