#include "e2e/e2e_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>

namespace trivexa::e2e {

ProgramCopy::ProgramCopy() {
  std::string pattern = (std::filesystem::temp_directory_path() / "trivexa-e2e-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  std::filesystem::copy_file(TRIVEXA_EXECUTABLE, folder_ / "trivexa");
}

ProgramCopy::~ProgramCopy() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::pair<std::string, std::string>> ProgramCopy::Environment() const {
  // mkdtemp makes the folder 0700, as Qt wants of a runtime folder.
  return {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", folder_.string()}};
}

std::vector<LogEntry> Calls(const std::vector<LogEntry>& log, const std::string& node) {
  std::vector<LogEntry> calls;
  for (const LogEntry& entry : log) {
    const bool call = entry.op == "open" || entry.op == "ioctl" || entry.op == "write" ||
                      entry.op == "read" || entry.op == "close";
    if (call && entry.node == node) calls.push_back(entry);
  }
  return calls;
}

std::vector<LogEntry> Writes(const std::vector<LogEntry>& log, const std::string& node,
                             std::uint8_t command) {
  std::vector<LogEntry> writes;
  for (const LogEntry& entry : log) {
    if (entry.op == "write" && entry.node == node && !entry.Failed() &&
        entry.Command() == command) {
      writes.push_back(entry);
    }
  }
  return writes;
}

const LogEntry* FirstAfter(const std::vector<LogEntry>& entries, double ms) {
  for (const LogEntry& entry : entries) {
    if (entry.ms > ms) return &entry;
  }
  return nullptr;
}

std::vector<std::string> CloseFaults(const std::vector<LogEntry>& log,
                                     const std::vector<int>& stillOpen) {
  std::vector<std::string> faults;
  std::map<int, std::string> open;  // descriptor -> its open line
  for (const LogEntry& entry : log) {
    if (entry.op == "open" && !entry.Failed()) {
      if (open.count(entry.fd) != 0) faults.push_back("opened again while open: " + entry.line);
      open[entry.fd] = entry.line;
    } else if (entry.op == "close") {
      if (open.erase(entry.fd) == 0) faults.push_back("closed but not open: " + entry.line);
    }
  }
  for (const auto& [fd, line] : open) {
    bool expected = false;
    for (int kept : stillOpen) expected = expected || kept == fd;
    if (!expected) faults.push_back("never closed: " + line);
  }
  return faults;
}

std::string IniValue(const std::filesystem::path& file, const std::string& key) {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(key + "=", 0) != 0) continue;
    std::string value = line.substr(key.size() + 1);
    const std::size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : value.substr(first);
  }
  return {};
}

}  // namespace trivexa::e2e
