#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace trivexa::app::testing {

// A display server of the test's own, killed when it goes.
class DisplayServer {
 public:
  virtual ~DisplayServer() { Kill(); }
  DisplayServer(const DisplayServer&) = delete;
  DisplayServer& operator=(const DisplayServer&) = delete;

  // What a client names it by; nothing when it did not start.
  const std::optional<std::string>& Display() const { return display_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 protected:
  DisplayServer() = default;
  // Starts `args` with standard error silenced and `keep` left open.
  void Spawn(std::vector<std::string> args, char** environment, int keep = -1) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (keep >= 0) posix_spawn_file_actions_adddup2(&actions, keep, keep);
    if (::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environment) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }

  pid_t pid_ = -1;
  std::optional<std::string> display_;
};

// A virtual X server.
class XServer final : public DisplayServer {
 public:
  XServer() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "640x480x24", "-nolisten",
           "tcp"},
          environ, fds[1]);
    ::close(fds[1]);
    std::string number;
    char c = 0;
    while (pid_ > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
};

// A Wayland compositor with no screen (weston), its socket in a private
// folder; a client names it by the socket's path.
class WaylandServer final : public DisplayServer {
 public:
  WaylandServer() {
    char folder[] = "/tmp/trivexa-wayland-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return;
    folder_ = folder;
    std::vector<std::string> variables = {"XDG_RUNTIME_DIR=" + folder_};
    for (char** variable = environ; *variable != nullptr; ++variable) {
      if (std::string(*variable).rfind("XDG_RUNTIME_DIR=", 0) != 0) variables.push_back(*variable);
    }
    std::vector<char*> environment;
    for (std::string& variable : variables) environment.push_back(variable.data());
    environment.push_back(nullptr);
    Spawn({"weston", "--backend=headless-backend.so", "--socket=wayland-test", "--idle-time=0"},
          environment.data());
    const std::string socket = folder_ + "/wayland-test";
    for (int waited = 0; pid_ > 0 && waited < 200; ++waited) {
      struct stat status {};
      if (::stat(socket.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)) {
        display_ = socket;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~WaylandServer() override {
    Kill();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::string folder_;
};

}  // namespace trivexa::app::testing
