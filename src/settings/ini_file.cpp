#include "settings/ini_file.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "settings/file_io.h"
#include "settings/ini_text.h"

namespace trivexa::settings {
namespace {

// The Windows profile reader fills a buffer of 8192 characters, one of them
// the terminating zero.
constexpr std::size_t kMaxValueLength = 8191;

}  // namespace

IniFileText ReadIniFile(const std::filesystem::path& path) {
  IniFileText file;
  if (path.empty()) {
    file.missing = true;
    return file;
  }
  file.missing = ReadRegularFile(path, file.text) == FileRead::kMissing;
  return file;
}

std::string IniValueOr(const IniFileText& file, std::string_view section, std::string_view key,
                       std::string_view defaultText) {
  std::optional<std::string> value = IniLookup(file.text, section, key);
  std::string result = value ? std::move(*value) : std::string(defaultText);
  if (result.size() > kMaxValueLength) result.resize(kMaxValueLength);
  return result;
}

std::string ReadIniValue(const std::filesystem::path& path, std::string_view section,
                         std::string_view key, std::string_view defaultText) {
  return IniValueOr(ReadIniFile(path), section, key, defaultText);
}

WriteOutcome WriteIniValues(const std::filesystem::path& path, std::string_view section,
                            std::span<const IniEntry> entries) {
  if (path.empty()) return WriteOutcome::Failed("save", "the file has no name");
  std::string content;
  std::string why;
  // A file that is there but cannot be read (a link, a FIFO, one too large)
  // is kept, not overwritten.
  if (ReadRegularFile(path, content, &why) == FileRead::kUnusable) {
    return WriteOutcome::Failed("read", why);
  }
  bool allStorable = true;
  for (const IniEntry& entry : entries) {
    // A key that cannot be stored does not keep the others from the file.
    if (!CanStore(section, entry.key, entry.value)) {
      allStorable = false;
      continue;
    }
    content = IniStore(content, section, entry.key, entry.value);
  }
  WriteOutcome outcome = ReplaceFileAtomically(path, content);
  if (outcome.ok() && !allStorable) {
    return WriteOutcome::Failed("save", "a key or value would change the file's lines");
  }
  return outcome;
}

}  // namespace trivexa::settings
