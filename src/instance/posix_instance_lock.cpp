// The single-copy lock on POSIX systems: flock on a file in a folder that
// only this user can write into.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <system_error>
#include <utility>

#include "host/text.h"
#include "instance/instance_lock.h"

namespace trivexa::instance {
namespace {

constexpr const char* kLockFileName = "/trivexa.lock";
constexpr const char* kJoystickLockFileName = "/trivexactl.lock";
constexpr std::size_t kMaxHolderText = 200;
constexpr const char* kNoFolder =
    "no folder of this user's for the lock: neither XDG_RUNTIME_DIR nor HOME is set";

// A probe holds the lock (shared) for a moment; a copy that starts just then
// must not take that for a running copy.
constexpr int kTakeAttempts = 5;
constexpr std::uint32_t kTakeRetryPauseMs = 10;

// Nobody else may be able to plant, swap or remove the lock file: the folder
// must be a real folder of this user's that no one else can write into.
std::optional<std::string> FolderProblem(const std::string& folder) {
  struct stat status {};
  if (::lstat(folder.c_str(), &status) != 0) return folder + ": " + ErrnoText(errno);
  if (!S_ISDIR(status.st_mode)) return folder + " is not a folder";
  if (status.st_uid != ::geteuid()) return folder + " belongs to another user";
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return folder + " can be written by other users";
  }
  return std::nullopt;
}

std::optional<std::string> CheckFolder(const LockPlace& place) {
  const std::string& folder = place.name;
  if (folder.empty()) return std::string(kNoFolder);
  if (place.createFolder) {
    // The parent, too, may be missing: a fresh home has no cache folder yet.
    const std::string parent = folder.substr(0, folder.find_last_of('/'));
    if (!parent.empty()) ::mkdir(parent.c_str(), 0700);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return "cannot create " + folder + ": " + ErrnoText(errno);
    }
  }
  return FolderProblem(folder);
}

// The open lock file must be a regular file of this user's.
std::optional<std::string> CheckLockFile(int fd, const std::string& path) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return path + ": " + ErrnoText(errno);
  if (!S_ISREG(status.st_mode)) return path + " is not a regular file";
  if (status.st_uid != ::geteuid()) return path + " belongs to another user";
  return std::nullopt;
}

// The lock file `name` in the place's folder, created when missing, once
// the folder and the file have passed their checks: its descriptor and
// path, or (fd -1) why no lock can be made there.
struct OpenedLockFile {
  int fd = -1;
  std::string path;
  std::string problem;
};

OpenedLockFile OpenLockFile(const LockPlace& place, const char* name) {
  if (auto problem = CheckFolder(place)) return {-1, {}, *problem};
  std::string path = place.name + name;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return {-1, {}, path + ": " + ErrnoText(errno)};
  if (auto problem = CheckLockFile(fd, path)) {
    ::close(fd);
    return {-1, {}, *problem};
  }
  return {fd, std::move(path), {}};
}

int TryLock(int fd, int operation) {
  int result = 0;
  do {
    result = ::flock(fd, operation | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

// An absolute path from the environment; a relative one would follow the
// current folder.
std::optional<std::string> AbsolutePathFrom(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

// A runtime folder that would fail the check is passed over like another
// user's, so that the next place can hold the lock.
bool IsPrivateFolderOfThisUser(const std::string& path) { return !FolderProblem(path); }

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  std::string host(name);
  std::replace(host.begin(), host.end(), '/', '_');
  return host;
}

}  // namespace

LockPlace DefaultLockPlace() { return DefaultLockPlace(RuntimeRoots{}); }

LockPlace DefaultLockPlace(const RuntimeRoots& roots) {
  const auto runtime = AbsolutePathFrom("XDG_RUNTIME_DIR");
  if (runtime && IsPrivateFolderOfThisUser(*runtime)) return {*runtime, false};
  const uid_t user = ::geteuid();
  std::string login = roots.loginRuntime + "/" + std::to_string(user);
  if (IsPrivateFolderOfThisUser(login)) return {std::move(login), false};
  if (user == 0) return {roots.systemRuntime + "/trivexa", true};
  std::optional<std::string> cache = AbsolutePathFrom("XDG_CACHE_HOME");
  if (!cache) {
    const auto home = AbsolutePathFrom("HOME");
    if (!home) return {};
    cache = *home + "/.cache";
  }
  return {*cache + "/trivexa-" + HostName(), true};
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool InstanceLock::Held() const { return fd_ >= 0; }

LockAttempt InstanceLock::Take() {
  if (fd_ >= 0) return {LockOutcome::kTaken, {}};
  const OpenedLockFile opened = OpenLockFile(place_, kLockFileName);
  if (opened.fd < 0) return {LockOutcome::kUnavailable, opened.problem};
  const int fd = opened.fd;
  const std::string& path = opened.path;

  for (int attempt = 1;; ++attempt) {
    const int error = TryLock(fd, LOCK_EX);
    if (error == 0) {
      fd_ = fd;
      return {LockOutcome::kTaken, {}};
    }
    if (error != EWOULDBLOCK || attempt == kTakeAttempts) {
      ::close(fd);
      if (error == EWOULDBLOCK) return {LockOutcome::kHeldByAnother, {}};
      return {LockOutcome::kUnavailable, path + ": " + ErrnoText(error)};
    }
    clock_.Sleep(kTakeRetryPauseMs);
  }
}

JoystickLock::JoystickLock(LockPlace place) : place_(std::move(place)) {}

JoystickLock::~JoystickLock() {
  if (fd_ >= 0) ::close(fd_);
}

LockAttempt JoystickLock::TryTake(const std::string& holder) {
  if (fd_ >= 0) return {LockOutcome::kTaken, {}};
  const OpenedLockFile opened = OpenLockFile(place_, kJoystickLockFileName);
  if (opened.fd < 0) return {LockOutcome::kUnavailable, opened.problem};
  const int fd = opened.fd;
  const std::string& path = opened.path;
  const int error = TryLock(fd, LOCK_EX);
  if (error == EWOULDBLOCK) {
    // The holder's own words, as it left them when it took the lock.
    char text[kMaxHolderText] = {};
    const ssize_t got = ::pread(fd, text, sizeof text, 0);
    ::close(fd);
    return {LockOutcome::kHeldByAnother,
            got > 0 ? std::string(text, static_cast<std::size_t>(got)) : std::string()};
  }
  if (error != 0) {
    ::close(fd);
    return {LockOutcome::kUnavailable, path + ": " + ErrnoText(error)};
  }
  const std::string text = holder.substr(0, kMaxHolderText);
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
  }
  fd_ = fd;
  return {LockOutcome::kTaken, {}};
}

InstanceState ProbeInstance(const LockPlace& place) {
  struct stat folder {};
  if (place.name.empty()) return InstanceState::kUnknown;
  if (::lstat(place.name.c_str(), &folder) != 0) {
    return errno == ENOENT ? InstanceState::kNotRunning : InstanceState::kUnknown;
  }
  LockPlace existing = place;
  existing.createFolder = false;
  if (CheckFolder(existing)) return InstanceState::kUnknown;

  const std::string path = place.name + kLockFileName;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? InstanceState::kNotRunning : InstanceState::kUnknown;

  InstanceState state = InstanceState::kUnknown;
  if (!CheckLockFile(fd, path)) {
    // A shared lock never stands in another probe's way; the window's
    // exclusive one refuses it.
    const int error = TryLock(fd, LOCK_SH);
    if (error == 0) state = InstanceState::kNotRunning;
    if (error == EWOULDBLOCK) state = InstanceState::kRunning;
  }
  ::close(fd);  // releases the shared lock, if taken
  return state;
}

}  // namespace trivexa::instance
