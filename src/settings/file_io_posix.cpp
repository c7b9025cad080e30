#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/text.h"
#include "settings/file_io.h"
#include "settings/folder_owner_rights.h"
#include "settings/save_temp_name.h"

namespace trivexa::settings {
namespace {

namespace fs = std::filesystem;

// Hidden, beside the file it replaces.
std::string TempPrefix(const fs::path& path) {
  return "." + path.filename().native() + std::string(kTempMark);
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
    const std::optional<std::uint32_t> writer = TempFileWriter<char>(entry->d_name, prefix);
    if (!writer || *writer == static_cast<std::uint32_t>(::getpid())) continue;
    struct stat info {};
    if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode) || info.st_uid != FilesystemUser()) continue;
    if (::kill(static_cast<pid_t>(*writer), 0) == 0 || errno != ESRCH) continue;
    ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(entries);
}

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
  if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
      ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // Not a reason to refuse the save: the file is whole, only its owner differs.
  }
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

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
  fs::path folder = base;
  for (const fs::path& name : below) {
    folder /= name;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return WriteOutcome::Failed("mkdir", folder.string() + ": " + ErrnoText(errno));
    }
  }
  return {};
}

WriteOutcome ReplaceFileAtomically(const fs::path& path, std::string_view content) {
  if (path.empty() || !path.has_filename()) {
    return WriteOutcome::Failed("save", "the file has no name");
  }
  if (content.size() > kMaxSettingsFileBytes) return WriteOutcome::Failed("save", kTooLarge);
  // Everything below happens in the folder as first opened, so the
  // temporary file is renamed in the folder it was written in.
  const fs::path folderPath = FolderOf(path);
  const Fd folder(::openat(AT_FDCWD, folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) {
    return WriteOutcome::Failed("openat", folderPath.string() + ": " + ErrnoText(errno));
  }
  const std::string name = path.filename().native();

  struct stat old {};
  const bool existed = ::fstatat(folder.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (!existed && errno != ENOENT) return Failure("lstat");
  if (existed && !S_ISREG(old.st_mode)) {
    return WriteOutcome::Failed(
        "lstat", S_ISLNK(old.st_mode) ? "it is a symbolic link" : "it is not a regular file");
  }
  // Root saving for another user leaves a file with other names alone:
  // where the kernel lets anyone link any file, the user may have linked
  // someone else's file there, which is no settings file of the user's.
  if (existed && old.st_nlink > 1 && FilesystemUser() != ::geteuid()) {
    return WriteOutcome::Failed("lstat", "it has other names too (hard links)");
  }
  // A rename would get round a missing write permission; the file stays.
  // AT_EACCESS: the rights of this thread's file user, not the real user.
  if (existed && ::faccessat(folder.get(), name.c_str(), W_OK, AT_EACCESS) != 0) {
    return Failure("access");
  }

  const std::string prefix = TempPrefix(path);
  RemoveLeftovers(folder.get(), prefix);

  // Created with 0666 and O_EXCL: the kernel applies the umask, so a new
  // file gets the usual mode without the umask being read (and changed for
  // a moment under every other thread).
  std::string tempName;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tempName = prefix + TempNameTail(static_cast<std::uint32_t>(::getpid()));
    fd = ::openat(folder.get(), tempName.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return Failure("open");
  }
  if (fd < 0) return Failure("open");

  WriteOutcome outcome;
  if (existed) {
    KeepOwner(fd, old);
    // A settings file is plain data: the old read and write bits stay;
    // setuid, setgid, sticky and execute bits never carry over.
    if (::fchmod(fd, old.st_mode & 0666) != 0) outcome = Failure("fchmod");
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
