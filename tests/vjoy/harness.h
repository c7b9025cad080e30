#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vjoy::testing {

// One line of the fixture's log:
//   "<ms> <pid> <op> <node> [fd=N] [len=N] [detail] [-> result] [bytes=HEX]"
// with <op> one of start, open, ioctl, write, read, close (the program's
// calls) and report, drop, unplug, replug, firmware (the fixture's own doings).
struct LogEntry {
  double ms = 0;  // since the fixture started in the first process
  int pid = 0;
  std::string op;
  std::string node;    // "hidraw1"
  int fd = -1;         // for open: the descriptor it gave
  std::string detail;  // ioctl name, open flags, firmware event
  std::string result;  // what follows "->": a count, "fd=N" or "err=NAME"
  std::vector<std::uint8_t> bytes;
  std::string line;

  bool Failed() const { return result.starts_with("err="); }
  // The command byte of a written report (offset 1, after the report ID).
  std::uint8_t Command() const { return bytes.size() > 1 ? bytes[1] : 0; }
};

std::vector<LogEntry> ReadLog(const std::string& path);

// Entries of one kind, optionally of one node.
std::vector<LogEntry> Only(const std::vector<LogEntry>& log, const std::string& op,
                           const std::string& node = {});

struct RunOptions {
  std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
  std::string workingDirectory;                                  // default: the run's folder
};

// A program started under the virtual joystick with a scenario, in a fresh
// folder that holds the scenario, the log, the program's output and the
// fixture's sysfs tree; the folder goes with the object, and a program
// still running then is killed.
class VjoyRun {
 public:
  VjoyRun(const std::vector<std::string>& argv, const std::string& scenario,
          const RunOptions& options = {});
  ~VjoyRun();
  VjoyRun(const VjoyRun&) = delete;
  VjoyRun& operator=(const VjoyRun&) = delete;

  pid_t Pid() const { return pid_; }
  const std::string& Folder() const { return folder_; }
  std::string LogPath() const { return folder_ + "/vjoy.log"; }

  void Signal(int signal) const;
  // The exit status (128 + N after signal N), or nothing after `timeout`.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  // Polls the log until `done` holds for it; false after `timeout`.
  bool WaitForLog(const std::function<bool(const std::vector<LogEntry>&)>& done,
                  std::chrono::milliseconds timeout) const;

  std::vector<LogEntry> Log() const { return ReadLog(LogPath()); }
  std::string Output() const;  // stdout and stderr together

 private:
  std::string folder_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// The environment that puts a program under the fixture, for a process
// started some other way (an in-process test runs itself under it).
std::vector<std::pair<std::string, std::string>> FixtureEnvironment(const std::string& scenarioPath,
                                                                    const std::string& logPath,
                                                                    const std::string& folder);

// Runs the probe with `commands` and gives its output lines and the log.
struct ProbeResult {
  std::vector<std::string> lines;  // "<command>: <answer>"
  std::vector<LogEntry> log;
  int status = -1;
  // The answer to the i-th command.
  std::string Answer(std::size_t i) const;
};
ProbeResult RunProbe(const std::string& scenario, const std::vector<std::string>& commands);

}  // namespace vjoy::testing
