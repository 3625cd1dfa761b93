// Process entry: command line, display check, settings directory, single instance, then the
// program's run (app/Startup.h). SIGTERM and SIGINT end it the way the exit command does.

#include <QApplication>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/AppOptions.h"
#include "app/BrowserCommand.h"
#include "app/OneShotCommands.h"
#include "app/Startup.h"
#include "platform/InstanceLock.h"
#include "platform/Version.h"

namespace {

// The self-pipe that turns a signal into an event of the main loop. Process-wide by nature: a
// signal handler can reach nothing else.
int StopSignalPipe[2] = {-1, -1};

void OnSignal(int number) {
  const char byte = number == SIGHUP ? tarnwick::kReloadSignalByte : tarnwick::kStopSignalByte;
  [[maybe_unused]] const auto ignored = ::write(StopSignalPipe[1], &byte, 1);
}

bool InstallSignals() {
  if (::pipe2(StopSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0 &&
         sigaction(SIGHUP, &action, nullptr) == 0;
}

std::string ProgramPath() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : executable.string();
}

// The directory of the running executable.
std::string ProgramDirectory() { return std::filesystem::path(ProgramPath()).parent_path().string(); }

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Every connection holds two files; the usual soft limit of 1,024 would lock users out long before
// the connection cap is reached.
void RaiseOpenFilesLimit() {
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur >= files.rlim_max) return;
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
}

// Two habits of the allocator cost a connection thread dearly. It gives each new thread an arena
// of its own, up to eight per core, holding memory the connections no longer need: one per core is
// enough for threads that mostly wait on sockets. And it hands the free end of the heap back to the
// system as soon as it passes 128 KiB, which one connection's buffers do whenever they are freed:
// every request then paid for unmapping them (a flush of every core's address cache) and for the
// page faults of mapping them again. Up to 1 MiB stays in the heap now.
void TuneAllocator() {
  constexpr int kKeptFreeBytes = 1024 * 1024;
  const unsigned cores = std::max(2U, std::thread::hardware_concurrency());
  ::mallopt(M_ARENA_MAX, static_cast<int>(cores));
  ::mallopt(M_TRIM_THRESHOLD, kKeptFreeBytes);
  // Fixed, since setting the trim threshold stops its automatic rise: blocks up to this size come
  // from the heap and are used again, instead of being mapped and unmapped one by one.
  ::mallopt(M_MMAP_THRESHOLD, kKeptFreeBytes);
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace tarnwick;
  std::signal(SIGPIPE, SIG_IGN);
  // A reload request that comes before the settings are read has nothing to do, and must not end
  // the program the way SIGHUP does by default.
  std::signal(SIGHUP, SIG_IGN);
  RaiseOpenFilesLimit();
  TuneAllocator();

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
    std::printf("%s\n", TARNWICK_APP_NAME_VER);
    return 0;
  }

  if (!options.Autostart.empty()) return RunAutostartCommand(options.Autostart == "on", ProgramPath());

  // The settings directory and the single-instance lock come before Qt, so that a second instance
  // ends silently without having started anything.
  const std::string home = SettingsDirectory(options, ProgramDirectory());
  if (home.empty()) {
    std::fprintf(stderr, "tarnwick: no settings directory could be created\n");
    return 1;
  }
  if (!options.ImportBlockList.empty()) return RunBlockListImportCommand(home, options.ImportBlockList);
  if (!options.Explain.empty()) {
    // Reading the settings needs the settings window's code, which needs Qt; nothing is drawn.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunExplainCommand(home, options.Explain, options.Referer, options.Client);
  }
  // Only files are edited: a running instance for the same directory may go on running.
  if (!options.Browsers.empty()) return RunBrowserCommand(home, options.Browsers == "on");
  TInstanceLock instance(home + "/" + kInstanceLockFileName);
  if (!instance.Acquired()) return 0;  // another Tarnwick serves this settings directory

  bool headless = options.Headless;
  if (!headless && !HasDisplay()) {
    headless = true;
    std::fprintf(stderr, "tarnwick: no display found, running without windows\n");
  }
  // The same program runs headless, on Qt's platform that draws nowhere.
  if (headless) qputenv("QT_QPA_PLATFORM", "offscreen");

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick"));
  // The program lives on while its windows are hidden; only the exit command ends it.
  QApplication::setQuitOnLastWindowClosed(false);

  if (!InstallSignals()) {
    std::perror("tarnwick: signals");
    return 1;
  }
  return RunProgram({home, DataDirectory(ProgramDirectory()), headless, StopSignalPipe[0]});
}
