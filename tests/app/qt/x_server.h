#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace trivexa::app::testing {

// A display server the test started: killed when the test is done. Its
// display is empty when it did not come up.
class DisplayServer {
 public:
  DisplayServer() = default;
  ~DisplayServer() { Kill(); }
  DisplayServer(const DisplayServer&) = delete;
  DisplayServer& operator=(const DisplayServer&) = delete;

  const std::optional<std::string>& Display() const { return display_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 protected:
  pid_t pid_ = -1;
  std::optional<std::string> display_;
};

// A virtual X server of the test's own.
class XServer final : public DisplayServer {
 public:
  XServer() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", fd,          "-screen",
                                     "0",    "640x480x24", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int error = ::posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (error != 0) {
      pid_ = -1;
      ::close(fds[0]);
      return;
    }
    std::string number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
};

// A Wayland compositor with no screen, its socket in `runtimeFolder`; a
// client names it by the socket's path.
class WaylandServer final : public DisplayServer {
 public:
  explicit WaylandServer(const std::string& runtimeFolder) {
    ::chmod(runtimeFolder.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
    const char* argv[] = {"weston", "--backend=headless-backend.so", "--socket=wayland-test",
                          nullptr};
    if (::posix_spawnp(&pid_, "weston", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      return;
    }
    const std::string socket = runtimeFolder + "/wayland-test";
    for (int tries = 0; tries < 200 && ::access(socket.c_str(), F_OK) != 0; ++tries)
      ::usleep(50000);
    if (::access(socket.c_str(), F_OK) == 0) display_ = socket;
  }
};

}  // namespace trivexa::app::testing
