#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <iterator>

namespace trivexa::fakes {

// Runs `work` in a child process and returns its exit code, or -1 when it
// did not exit normally (killed, or stopped by the alarm after
// `alarmSeconds`, which keeps a test that would hang from hanging).
inline int InChild(const std::function<int()>& work, bool dropPrivileges = false,
                   unsigned alarmSeconds = 60) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(alarmSeconds);
    if (dropPrivileges && ::geteuid() == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
          ::setresuid(65534, 65534, 65534) != 0) {
        ::_exit(100);
      }
    }
    ::_exit(work());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Tests may run as root, whom permissions do not stop: a root child first
// turns into the unprivileged user 65534 (nobody).
inline int InChildWithoutPrivileges(const std::function<int()>& work) {
  return InChild(work, true);
}

// How many descriptors this process has open: the same number before and
// after some work shows that the work leaked none.
inline std::size_t OpenDescriptors() {
  const std::filesystem::directory_iterator entries("/proc/self/fd");
  return static_cast<std::size_t>(std::distance(entries, std::filesystem::directory_iterator()));
}

}  // namespace trivexa::fakes
