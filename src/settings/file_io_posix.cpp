#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "host/text.h"
#include "settings/file_io.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// A save's temporary file is ".NAME.trivexa-save.PID.XXXXXX": hidden, beside
// the file it replaces, recognisably ours and naming the process writing it.
constexpr std::string_view kTempMark = ".trivexa-save.";
constexpr std::size_t kTempUniqueLength = 6;

std::string TempPrefix(const fs::path& path) {
  return "." + path.filename().native() + std::string(kTempMark);
}

std::string UniqueText() {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string text(kTempUniqueLength, ' ');
  for (char& c : text) c = kLetters[pick(random)];
  return text;
}

// The writer's process id when `name` is a temporary file of a save of the
// file whose temporary names begin with `prefix`.
std::optional<pid_t> TempFileWriter(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  name.remove_prefix(prefix.size());
  const std::size_t dot = name.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot > 9) return std::nullopt;
  if (name.size() - dot - 1 != kTempUniqueLength) return std::nullopt;
  pid_t pid = 0;
  for (const char c : name.substr(0, dot)) {
    if (c < '0' || c > '9') return std::nullopt;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

// Removes the temporary files of saves that were killed: only regular files
// of this user whose writing process has ended. A save running in another
// process at this moment keeps its file.
void RemoveLeftovers(int folder, const std::string& prefix) {
  const int folderFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return;
  DIR* entries = ::fdopendir(folderFd);
  if (entries == nullptr) {
    ::close(folderFd);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    const std::optional<pid_t> writer = TempFileWriter(entry->d_name, prefix);
    if (!writer || *writer == ::getpid()) continue;
    struct stat info {};
    if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
    if (::kill(*writer, 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(entries);
}

constexpr const char* kTooLarge = "it is larger than a settings file can be";

// The failure of `call`, in the words of the errno it left.
WriteOutcome Failure(const char* call) { return WriteOutcome::Failed(call, ErrnoText(errno)); }

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Gives the new file the old one's owner, or at least its group, so a user's
// file saved by root stays the user's. Without the right to do so (a user
// saving another user's group-writable file) the file becomes the saver's.
void KeepOwner(int fd, const struct stat& old) {
  if (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) return;
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return;
  if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0) return;
}

// Gives what root made in another user's folder to that folder's owner:
// root leaves nothing of its own in a home that is not root's.
bool GiveToFolderOwner(int fd, const struct stat& folder) {
  if (::geteuid() != 0 || folder.st_uid == 0) return true;
  return ::fchownat(fd, "", folder.st_uid, folder.st_gid, AT_EMPTY_PATH) == 0;
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// A link that only root or this user can have put in its folder, and that
// nobody else can swap: owned by one of them, in a folder of one of them
// that others cannot write (or, sticky, can only change their own names in).
bool TrustedLink(const struct stat& link, const struct stat& folder) {
  const uid_t me = ::geteuid();
  const auto trusted = [me](uid_t owner) { return owner == 0 || owner == me; };
  if (!trusted(link.st_uid) || !trusted(folder.st_uid)) return false;
  return (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (folder.st_mode & S_ISVTX) != 0;
}

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Opens the next folder, `name`, below `current`, and makes it the current
// one. A link is followed only when TrustedLink says so. With `create`, a
// missing folder is made, only for this user (0700, as config folders are).
WriteOutcome Step(Fd& current, struct stat& info, const std::string& name, bool create,
                  const fs::path& shown) {
  const auto failure = [&shown](const char* call) {
    return WriteOutcome::Failed(call, shown.string() + ": " + ErrnoText(errno));
  };
  int fd = ::openat(current.get(), name.c_str(), kFolderFlags | O_NOFOLLOW);
  bool made = false;
  if (fd < 0 && errno == ENOENT && create) {
    if (::mkdirat(current.get(), name.c_str(), 0700) == 0) {
      made = true;
    } else if (errno != EEXIST) {
      return failure("mkdir");
    }
    fd = ::openat(current.get(), name.c_str(), kFolderFlags | O_NOFOLLOW);
  }
  if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
    const int openError = errno;
    struct stat link {};
    if (::fstatat(current.get(), name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(link.st_mode)) {
      if (!TrustedLink(link, info)) {
        return WriteOutcome::Failed(
            "openat",
            shown.string() + ": a symbolic link another user may have made; not followed");
      }
      fd = ::openat(current.get(), name.c_str(), kFolderFlags);
    } else {
      errno = openError;
    }
  }
  if (fd < 0) return failure("openat");
  const struct stat parent = info;
  current.Reset(fd);
  if (made && !GiveToFolderOwner(fd, parent)) return failure("fchown");
  if (::fstat(fd, &info) != 0) return failure("fstat");
  return {};
}

// Opens `base` / `below` one name at a time, from the root (or the current
// folder for a relative path), as Step does; only the names of `below` are
// made when missing.
WriteOutcome OpenFolder(const fs::path& base, const fs::path& below, bool create, Fd& folder,
                        struct stat& info) {
  const fs::path whole = base / below;
  folder.Reset(::open(whole.is_absolute() ? "/" : ".", kFolderFlags));
  if (folder.get() < 0 || ::fstat(folder.get(), &info) != 0) return Failure("open");
  fs::path shown = whole.is_absolute() ? fs::path("/") : fs::path();
  const auto walk = [&](const fs::path& part, bool mayCreate) {
    for (const fs::path& element : part.relative_path()) {
      const std::string name = element.native();
      if (name.empty() || name == ".") continue;
      shown /= element;
      WriteOutcome step = Step(folder, info, name, mayCreate, shown);
      if (!step.ok()) return step;
    }
    return WriteOutcome{};
  };
  WriteOutcome outcome = walk(base, false);
  if (outcome.ok()) outcome = walk(below, create);
  return outcome;
}

}  // namespace

FileRead ReadRegularFile(const fs::path& path, std::string& content, std::string* why) {
  content.clear();
  std::string reason;
  // O_NOFOLLOW: a link is not followed, whatever it points at. O_NONBLOCK:
  // opening a FIFO returns at once instead of waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return FileRead::kMissing;
    if (why != nullptr) *why = errno == ELOOP ? "it is a symbolic link" : ErrnoText(errno);
    return FileRead::kUnusable;
  }
  FileRead result = FileRead::kRead;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    reason = ErrnoText(errno);
  } else if (!S_ISREG(info.st_mode)) {
    reason = "it is not a regular file";
  } else if (static_cast<std::uintmax_t>(info.st_size) > kMaxSettingsFileBytes) {
    reason = kTooLarge;
  }
  if (!reason.empty()) result = FileRead::kUnusable;
  // The size is checked again while reading: the file may grow meanwhile.
  char chunk[65536];
  while (result == FileRead::kRead) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = ErrnoText(errno);
      result = FileRead::kUnusable;
    }
    if (got <= 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
    if (content.size() > kMaxSettingsFileBytes) {
      reason = kTooLarge;
      result = FileRead::kUnusable;
    }
  }
  ::close(fd);
  if (result != FileRead::kRead) content.clear();
  if (why != nullptr) *why = reason;
  return result;
}

WriteOutcome MakeFolders(const fs::path& base, const fs::path& below) {
  Fd folder;
  struct stat info {};
  return OpenFolder(base, below, true, folder, info);
}

WriteOutcome ReplaceFileAtomically(const fs::path& path, std::string_view content) {
  if (path.empty() || !path.has_filename()) {
    return WriteOutcome::Failed("save", "the file has no name");
  }
  if (content.size() > kMaxSettingsFileBytes) return WriteOutcome::Failed("save", kTooLarge);
  // Everything below happens in the folder as first opened: no name on the
  // way can be swapped for a link meanwhile.
  Fd folder;
  struct stat folderInfo {};
  WriteOutcome outcome = OpenFolder(FolderOf(path), {}, false, folder, folderInfo);
  if (!outcome.ok()) return outcome;
  const std::string name = path.filename().native();

  struct stat old {};
  const bool existed = ::fstatat(folder.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (!existed && errno != ENOENT) return Failure("lstat");
  if (existed && !S_ISREG(old.st_mode)) {
    return WriteOutcome::Failed(
        "lstat", S_ISLNK(old.st_mode) ? "it is a symbolic link" : "it is not a regular file");
  }
  // A rename would get round a missing write permission; the file stays.
  if (existed && ::faccessat(folder.get(), name.c_str(), W_OK, 0) != 0) return Failure("access");

  const std::string prefix = TempPrefix(path);
  RemoveLeftovers(folder.get(), prefix);

  // Created with 0666 and O_EXCL: the kernel applies the umask, so a new
  // file gets the usual mode without the umask being read (and changed for
  // a moment under every other thread).
  std::string tempName;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tempName = prefix + std::to_string(::getpid()) + "." + UniqueText();
    fd = ::openat(folder.get(), tempName.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return Failure("open");
  }
  if (fd < 0) return Failure("open");

  if (existed) {
    KeepOwner(fd, old);
    // A settings file is plain data: the old read and write bits stay;
    // setuid, setgid, sticky and execute bits never carry over.
    if (::fchmod(fd, old.st_mode & 0666) != 0) outcome = Failure("fchmod");
  } else if (!GiveToFolderOwner(fd, folderInfo)) {
    outcome = Failure("fchown");
  }
  if (outcome.ok() && !WriteAll(fd, content)) outcome = Failure("write");
  if (outcome.ok() && ::fsync(fd) != 0) outcome = Failure("fsync");
  if (::close(fd) != 0 && outcome.ok()) outcome = Failure("close");
  if (outcome.ok() && ::renameat(folder.get(), tempName.c_str(), folder.get(), name.c_str()) != 0) {
    outcome = Failure("rename");
  }
  if (!outcome.ok()) {
    ::unlinkat(folder.get(), tempName.c_str(), 0);
    return outcome;
  }
  // Make the rename itself durable; the data is already safe, so a failure
  // here does not undo the write.
  const int folderFd = ::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return outcome;
}

}  // namespace trivexa::settings
