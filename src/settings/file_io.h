#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace trivexa::settings {

// Reading and replacing the settings file, with the care a folder another
// user can write needs. One implementation per platform (file_io_posix.cpp,
// file_io_windows.cpp). Run as root for another user, the caller holds a
// FolderOwnerRights (folder_owner_rights.h) meanwhile.

// No settings file is larger: four keys take under 100 bytes, a value at
// most 8192 characters. A larger file, or an endless one, is not read.
inline constexpr std::uintmax_t kMaxSettingsFileBytes = std::uintmax_t{1} << 20;
inline constexpr const char* kTooLarge = "it is larger than a settings file can be";

// The folder that holds `path`, where its temporary file goes: "." for a
// bare name.
inline std::filesystem::path FolderOf(const std::filesystem::path& path) {
  return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// A path as the UTF-8 text messages carry, on every platform.
inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Whether a write happened, and when not, the call that failed and the
// system's own words for why (errno or GetLastError text, UTF-8).
struct [[nodiscard]] WriteOutcome {
  std::string failedCall;  // empty when the write happened
  std::string reason;

  bool ok() const { return failedCall.empty(); }
  static WriteOutcome Failed(std::string call, std::string why) {
    return {std::move(call), std::move(why)};
  }
};

enum class FileRead {
  kRead,      // `content` holds the whole file
  kMissing,   // nothing has that name
  kUnusable,  // a link, not a regular file, too large, or not readable
};

// Reads a regular file of at most kMaxSettingsFileBytes, reached without
// following a link at its last name. Never blocks, also on a FIFO. For an
// unusable file, `why` (when given) learns the reason.
FileRead ReadRegularFile(const std::filesystem::path& path, std::string& content,
                         std::string* why = nullptr);

// Makes the folders of `below` under `base`, which must exist, one at a
// time; new folders are for their user alone (0700). A failure names the
// folder that could not be made.
WriteOutcome MakeFolders(const std::filesystem::path& base, const std::filesystem::path& below);

// Puts `content` in place of `path` in one step: written to a fresh file
// beside it, flushed, then renamed over it, so a crash leaves the old file
// or the new one. The outcome keeps the call that failed. Refuses when `path` is a link or not a
// regular file, when this user may not write it, when `content` is too large to be read back,
// and, when saving for another user, when the file has other names (hard links) too. A new file
// has mode 0666 less the umask; a replaced file keeps its read and write bits (never setuid,
// setgid, sticky or execute) and, where the process may set them, its owner and group.
// Temporary files that a killed save left behind are removed first.
WriteOutcome ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace trivexa::settings
