#include "engine/FilterProxyControl.h"

#include <string>

namespace tarnwick {

TFilterProxyControl::TFilterProxyControl(std::shared_ptr<TCorvanePrefs> prefs,
                                         std::unique_ptr<TSockStream> client)
    : ClientStream(std::move(client)), Prefs(std::move(prefs)) {}

void TFilterProxyControl::ProcessRequest() {
  std::string line;
  if (ClientStream->ReadLine(line)) ClientStream->WriteLine(line);
}

void TFilterProxyControl::CloseSockets() {
  for (auto* stream : {ClientStream.get(), ServerStream.get()}) {
    if (stream == nullptr) continue;
    try {
      stream->Close();
    } catch (...) {
    }
  }
}

}  // namespace tarnwick
