#include "settings/ini_file.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "settings/ini_profile.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace trivexa::settings {
namespace {

// The Windows profile reader fills a buffer of 8192 characters, one of them
// the terminating zero.
constexpr std::size_t kMaxValueLength = 8191;

// The folder that holds `path`: "." for a bare name.
std::filesystem::path FolderOf(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

enum class ReadResult { kRead, kMissing, kFailed };

// The whole file as bytes. kMissing only when there is no such file; a
// folder, a file without read access or a read error give kFailed.
ReadResult ReadWholeFile(const std::filesystem::path& path, std::string& content) {
  content.clear();
  errno = 0;
#ifdef _WIN32
  std::FILE* file = _wfopen(path.c_str(), L"rb");
#else
  std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
  if (file == nullptr) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  char chunk[65536];
  bool failed = false;
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
    content.append(chunk, got);
    if (got < sizeof chunk) {
      failed = std::ferror(file) != 0;
      break;
    }
  }
  std::fclose(file);
  return failed ? ReadResult::kFailed : ReadResult::kRead;
}

// Texts that would break the line structure of the file if stored: a line
// break anywhere, a ']' in the section name, an '=' in the key, or a key the
// reader would take for a comment or a section.
bool CanStore(std::string_view section, std::string_view key, std::string_view value) {
  constexpr std::string_view kLineBreaks = "\r\n";
  if (section.find_first_of(kLineBreaks) != std::string_view::npos ||
      key.find_first_of(kLineBreaks) != std::string_view::npos ||
      value.find_first_of(kLineBreaks) != std::string_view::npos) {
    return false;
  }
  if (section.find(']') != std::string_view::npos) return false;
  if (key.find('=') != std::string_view::npos) return false;
  const std::size_t first = key.find_first_not_of(" \t");
  return first == std::string_view::npos || (key[first] != ';' && key[first] != '[');
}

#ifdef _WIN32

bool WriteAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk =
        content.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(content.size());
    DWORD written = 0;
    if (!WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  return true;
}

// Writes `content` to a fresh file beside `path`, then moves it over `path`
// in one step.
bool ReplaceAtomically(const std::filesystem::path& path, std::string_view content,
                       bool /*existed*/) {
  wchar_t tempName[MAX_PATH];
  if (GetTempFileNameW(FolderOf(path).c_str(), L"ini", 0, tempName) == 0) return false;
  HANDLE file = CreateFileW(tempName, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(tempName);
    return false;
  }
  bool ok = WriteAll(file, content) && FlushFileBuffers(file) != 0;
  if (!CloseHandle(file)) ok = false;
  if (ok) {
    ok = MoveFileExW(tempName, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
         0;
  }
  if (!ok) DeleteFileW(tempName);
  return ok;
}

// A file marked read-only is not replaced, as the profile writer refuses it.
bool MayReplace(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

#else

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

mode_t NewFileMode() {
  // umask can only be read by setting it; the tool has a single thread.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

// Writes `content` to a fresh hidden file beside `path` (".NAME.XXXXXX"),
// flushes it to disk and renames it over `path`: a reader sees the old file
// or the new one, never a part of either. The replacement keeps the
// permission bits of the file it replaces.
bool ReplaceAtomically(const std::filesystem::path& path, std::string_view content, bool existed) {
  mode_t mode = NewFileMode();
  if (existed) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    mode = static_cast<mode_t>(info.st_mode & 07777);
  }
  const std::filesystem::path folder = FolderOf(path);
  std::string tempName = (folder / ("." + path.filename().native() + ".XXXXXX")).native();
  const int fd = ::mkstemp(tempName.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(tempName.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tempName.c_str());
    return false;
  }
  // Make the rename itself durable; the data is already safe, so a failure
  // here does not undo the write.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

// A file without write permission for this user is not replaced: a rename
// would get round it, the profile writer this follows could not.
bool MayReplace(const std::filesystem::path& path) {
  return ::access(path.c_str(), W_OK) == 0 || errno == ENOENT;
}

#endif

}  // namespace

bool FileExists(const std::filesystem::path& path) {
  if (path.empty()) return false;
#ifdef _WIN32
  if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return GetLastError() != ERROR_FILE_NOT_FOUND;
#else
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return true;
  return errno != ENOENT;
#endif
}

std::string ReadIniValue(const std::filesystem::path& path, std::string_view section,
                         std::string_view key, std::string_view defaultText) {
  std::string content;
  std::optional<std::string> value;
  if (ReadWholeFile(path, content) == ReadResult::kRead) {
    value = IniLookup(content, section, key);
  }
  std::string result = value ? std::move(*value) : std::string(defaultText);
  if (result.size() > kMaxValueLength) result.resize(kMaxValueLength);
  return result;
}

std::string WriteIniValue(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view value) {
  const IniEntry entry{key, value};
  return WriteIniValues(path, section, std::span(&entry, 1));
}

std::string WriteIniValues(const std::filesystem::path& path, std::string_view section,
                           std::span<const IniEntry> entries) {
  if (path.empty()) return "0";
  std::string content;
  const ReadResult read = ReadWholeFile(path, content);
  // A file that is there but cannot be read is kept, not overwritten.
  if (read == ReadResult::kFailed) return "0";
  const bool existed = read == ReadResult::kRead;
  if (existed && !MayReplace(path)) return "0";
  bool allStorable = true;
  for (const IniEntry& entry : entries) {
    // A key that cannot be stored does not keep the others from the file.
    if (!CanStore(section, entry.key, entry.value)) {
      allStorable = false;
      continue;
    }
    content = IniStore(content, section, entry.key, entry.value);
  }
  return ReplaceAtomically(path, content, existed) && allStorable ? "1" : "0";
}

}  // namespace trivexa::settings
