#include "desktop/CommandRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <sstream>

extern char** environ;

namespace tarnwick {

namespace {

bool Executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

void SleepMs(int ms) {
  timespec pause{0, static_cast<long>(ms) * 1000000L};
  ::nanosleep(&pause, nullptr);
}

}  // namespace

bool TProcessRunner::Available(const std::string& program) const {
  if (program.find('/') != std::string::npos) return Executable(program);
  const char* path = std::getenv("PATH");
  std::istringstream directories(path ? path : "/usr/bin:/bin");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    if (!directory.empty() && Executable(directory + "/" + program)) return true;
  }
  return false;
}

int TProcessRunner::Run(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return -1;
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;

  constexpr int kStepMs = 5;
  for (int waited = 0;; waited += kStepMs) {
    int status = 0;
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0 && errno != EINTR) return -1;
    if (waited >= TimeoutMs) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    SleepMs(kStepMs);
  }
}

}  // namespace tarnwick
