#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "settings/file_io.h"

namespace trivexa::settings {

// The settings file on disk: the three wrappers the handlers call, and what the
// settings store needs on top of them: file I/O and atomic replace. The
// text editing is ini_text's.
// Only a regular file, reached without following a link at its last name
// and at most kMaxSettingsFileBytes long, is read or replaced (file_io.h).

// The file as read once, for several keys that must come from one version.
struct IniFileText {
  bool missing = false;  // nothing of that name, so start-up may create it
  std::string text;      // empty unless the file could be read
};
IniFileText ReadIniFile(const std::filesystem::path& path);

// The value stored under `key` in `section`, or `defaultText` when the file,
// the section or the key is missing or the file cannot be read. Section and
// key match without regard to case. A value is cut to 8191 characters.
std::string IniValueOr(const IniFileText& file, std::string_view section, std::string_view key,
                       std::string_view defaultText);
std::string ReadIniValue(const std::filesystem::path& path, std::string_view section,
                         std::string_view key, std::string_view defaultText);

struct IniEntry {
  std::string_view key;
  std::string_view value;
};

// Stores each key under `section`, in order, creating the file, section or
// key as needed and keeping every other byte of the file, in a single
// replacement of the file: a crash or a full disk leaves the old file or the
// new one, never a truncated one, at the cost of one write and one flush. Succeeds when every key
// was stored; when not, says which call failed and why.
WriteOutcome WriteIniValues(const std::filesystem::path& path, std::string_view section,
                            std::span<const IniEntry> entries);

}  // namespace trivexa::settings
