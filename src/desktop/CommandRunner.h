#pragma once
// TCommandRunner: runs a desktop tool (gsettings, ...) with its arguments, without a shell, and
// waits for it with a deadline. An interface so that tests can stand in for the tools.
// Any thread.

#include <string>
#include <vector>

namespace tarnwick {

class TCommandRunner {
 public:
  virtual ~TCommandRunner() = default;
  // Whether `program` can be found on PATH (or is a path to an executable).
  virtual bool Available(const std::string& program) const = 0;
  // The exit status, or -1 when the program could not be started, ended by a signal, or overran
  // the deadline (it is then killed).
  virtual int Run(const std::vector<std::string>& arguments) = 0;
};

// Runs real programs; output goes to /dev/null; each run may take `timeoutMs`.
class TProcessRunner : public TCommandRunner {
 public:
  explicit TProcessRunner(int timeoutMs = 10000) : TimeoutMs(timeoutMs) {}
  bool Available(const std::string& program) const override;
  int Run(const std::vector<std::string>& arguments) override;

 private:
  int TimeoutMs;
};

}  // namespace tarnwick
