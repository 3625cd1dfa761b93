// Process entry: command line, settings directory, single instance, then the event loop until the
// program is told to exit (SIGTERM or SIGINT end it the way the exit command does).

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppOptions.h"
#include "app/Application.h"
#include "platform/InstanceLock.h"

namespace {

// The write end of the self-pipe that turns a signal into an event of the main loop. Process-wide
// by nature: a signal handler can reach nothing else.
int StopSignalPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto ignored = ::write(StopSignalPipe[1], &byte, 1);
}

bool InstallStopSignals() {
  if (::pipe2(StopSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace tarnwick;
  std::signal(SIGPIPE, SIG_IGN);

  const TAppOptions options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!options.Error.empty()) {
    std::fprintf(stderr, "tarnwick: %s\n\n%s", options.Error.c_str(), UsageText().c_str());
    return 2;
  }
  if (options.ShowHelp) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.ShowVersion) {
    std::printf("Tarnwick %s\n", TARNWICK_VERSION);
    return 0;
  }

  QCoreApplication app(argc, argv);
  const std::string programDirectory = QCoreApplication::applicationDirPath().toStdString();
  const std::string home = SettingsDirectory(options, programDirectory);
  if (home.empty()) {
    std::fprintf(stderr, "tarnwick: no settings directory could be created\n");
    return 1;
  }
  TInstanceLock instance(home + "/tarnwick.lock");
  if (!instance.Acquired()) return 0;  // another Tarnwick serves this settings directory

  if (!InstallStopSignals()) {
    std::perror("tarnwick: signals");
    return 1;
  }
  QSocketNotifier stopNotifier(StopSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

  TApplication application(home);
  application.Start();
  return app.exec();
}
