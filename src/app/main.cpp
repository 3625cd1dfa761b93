#include <csignal>
#include <cstdio>
#include <memory>

#include "engine/FilterProxy.h"
#include "platform/Exceptions.h"
#include "prefs/Prefs.h"

int main() {
  using namespace tarnwick;
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  auto prefs = std::make_shared<TCorvanePrefs>();
  TPrefsSettings settings;
  settings.ListenPort = 8080;
  prefs->Publish(settings);
  TFilterProxy proxy(prefs);
  try {
    proxy.Start();
  } catch (const ESocketError& error) {
    std::fprintf(stderr, "tarnwick: %s\n", error.what());
    return 1;
  }
  int received = 0;
  sigwait(&stopSignals, &received);
  proxy.Stop();
  return 0;
}
