#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "vjoy/harness.h"

namespace trivexa::e2e {

using vjoy::testing::LogEntry;

// The program copied into a folder of its own, so that its JOYSTICK.INI and
// its single-copy lock belong to the test alone.
class ProgramCopy {
 public:
  ProgramCopy();
  ~ProgramCopy();
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  std::string Executable() const { return (folder_ / "trivexa").string(); }
  // Qt's offscreen platform, and the lock in this folder.
  std::vector<std::pair<std::string, std::string>> Environment() const;

 private:
  std::filesystem::path folder_;
};

// The program's own calls on `node` (open, ioctl, write, read, close).
std::vector<LogEntry> Calls(const std::vector<LogEntry>& log, const std::string& node);
// Successful writes of one command byte on `node`.
std::vector<LogEntry> Writes(const std::vector<LogEntry>& log, const std::string& node,
                             std::uint8_t command);
// The first entry of `entries` after `ms`, or nullptr.
const LogEntry* FirstAfter(const std::vector<LogEntry>& entries, double ms);

// Every descriptor that was opened is closed exactly once, except those in
// `stillOpen`. Gives a description of each fault.
std::vector<std::string> CloseFaults(const std::vector<LogEntry>& log,
                                     const std::vector<int>& stillOpen = {});

// The INI file's value of `key`, blanks trimmed; empty when missing.
std::string IniValue(const std::filesystem::path& file, const std::string& key);

}  // namespace trivexa::e2e
