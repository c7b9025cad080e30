#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace trivexa::settings {

// The three wrappers through which the tool touches its settings file.

// True when the file is present. An empty path is never present. Only "no
// such file" counts as missing: any other error (access denied, a folder of
// that name) counts as present, so start-up never overwrites it.
bool FileExists(const std::filesystem::path& path);

// The value stored under `key` in `section`, or `defaultText` when the file,
// the section or the key is missing or the file cannot be read. Section and
// key match without regard to case. A value is cut to 8191 characters.
std::string ReadIniValue(const std::filesystem::path& path, std::string_view section,
                         std::string_view key, std::string_view defaultText);

// Stores `value` under `key` in `section`, creating the file, section or key
// as needed and keeping every other byte of the file. The file is replaced
// atomically: a crash or a full disk leaves the old file or the new one,
// never a truncated one. Returns "1" on success, "0" on failure.
std::string WriteIniValue(const std::filesystem::path& path, std::string_view section,
                          std::string_view key, std::string_view value);

struct IniEntry {
  std::string_view key;
  std::string_view value;
};

// Stores several keys of one section in a single replacement of the file:
// the same file as one WriteIniValue per key, in order, at the cost of one
// write and one flush to disk. "1" when every key was stored.
std::string WriteIniValues(const std::filesystem::path& path, std::string_view section,
                           std::span<const IniEntry> entries);

}  // namespace trivexa::settings
