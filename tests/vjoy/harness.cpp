#include "vjoy/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vjoy::testing {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::uint8_t> Bytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

LogEntry ParseLine(const std::string& line) {
  LogEntry entry;
  entry.line = line;
  std::istringstream words(line);
  words >> entry.ms >> entry.pid >> entry.op;
  bool afterArrow = false;
  bool first = true;
  for (std::string word; words >> word;) {
    if (word == "->") {
      afterArrow = true;
    } else if (word.starts_with("bytes=")) {
      entry.bytes = Bytes(word.substr(6));
    } else if (afterArrow && entry.result.empty()) {
      entry.result = word;
      if (word.starts_with("fd=")) entry.fd = std::stoi(word.substr(3));
    } else if (word.starts_with("fd=")) {
      entry.fd = std::stoi(word.substr(3));
    } else if (first) {
      entry.node = word.starts_with("/dev/") ? word.substr(5) : word;
    } else if (!word.starts_with("len=")) {
      entry.detail += (entry.detail.empty() ? "" : " ") + word;
    }
    first = false;
  }
  return entry;
}

std::string MakeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vjoy-run-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

}  // namespace

std::vector<LogEntry> ReadLog(const std::string& path) {
  std::vector<LogEntry> log;
  std::istringstream lines(ReadWhole(path));
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) log.push_back(ParseLine(line));
  }
  return log;
}

std::vector<LogEntry> Only(const std::vector<LogEntry>& log, const std::string& op,
                           const std::string& node) {
  std::vector<LogEntry> chosen;
  for (const LogEntry& entry : log) {
    if (entry.op == op && (node.empty() || entry.node == node)) chosen.push_back(entry);
  }
  return chosen;
}

std::vector<std::pair<std::string, std::string>> FixtureEnvironment(const std::string& scenarioPath,
                                                                    const std::string& logPath,
                                                                    const std::string& folder) {
  std::string preload = VJOY_LIBRARY;
  if (const char* existing = std::getenv("LD_PRELOAD"); existing != nullptr && *existing != '\0') {
    preload += std::string(":") + existing;
  }
  return {{"LD_PRELOAD", preload},
          {"VJOY_SCENARIO", scenarioPath},
          {"VJOY_LOG", logPath},
          {"VJOY_DIR", folder}};
}

VjoyRun::VjoyRun(const std::vector<std::string>& argv, const std::string& scenario,
                 const RunOptions& options)
    : folder_(MakeFolder()) {
  const std::string scenarioPath = folder_ + "/scenario";
  std::ofstream(scenarioPath) << scenario;

  std::map<std::string, std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
  }
  // Every run has its own time origin, even when started from a process
  // that runs under the fixture itself.
  environment.erase("VJOY_START_NS");
  for (const auto& [key, value] : FixtureEnvironment(scenarioPath, LogPath(), folder_)) {
    environment[key] = value;
  }
  for (const auto& [key, value] : options.environment) environment[key] = value;

  std::vector<std::string> envText;
  for (const auto& [key, value] : environment) envText.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (std::string& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& text : args) argp.push_back(text.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string outputPath = folder_ + "/output.txt";
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const std::string directory =
      options.workingDirectory.empty() ? folder_ : options.workingDirectory;
  posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  const int error = ::posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + argv[0]);
}

VjoyRun::~VjoyRun() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void VjoyRun::Signal(int signal) const { ::kill(pid_, signal); }

std::optional<int> VjoyRun::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!status_) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

bool VjoyRun::WaitForLog(const std::function<bool(const std::vector<LogEntry>&)>& done,
                         std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done(Log())) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string VjoyRun::Output() const { return ReadWhole(folder_ + "/output.txt"); }

std::string ProbeResult::Answer(std::size_t i) const {
  if (i >= lines.size()) return "<no answer>";
  const std::size_t colon = lines[i].find(": ");
  return colon == std::string::npos ? lines[i] : lines[i].substr(colon + 2);
}

ProbeResult RunProbe(const std::string& scenario, const std::vector<std::string>& commands) {
  std::vector<std::string> argv{VJOY_PROBE};
  argv.insert(argv.end(), commands.begin(), commands.end());
  VjoyRun run(argv, scenario);
  ProbeResult result;
  result.status = run.Wait(std::chrono::seconds(20)).value_or(-1);
  std::istringstream lines(run.Output());
  for (std::string line; std::getline(lines, line);) result.lines.push_back(line);
  result.log = run.Log();
  return result;
}

}  // namespace vjoy::testing
