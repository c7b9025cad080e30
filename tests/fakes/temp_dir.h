#pragma once

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "settings/ini_text.h"

namespace trivexa::fakes {

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
 public:
  // create_directory reports a name that is taken, so two tests (or two
  // processes) never share a folder.
  TempDir() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device entropy;
    for (;;) {
      const auto name = "trivexa-" + std::to_string(entropy()) + std::to_string(entropy());
      if (std::filesystem::create_directory(base / name)) {
        path_ = base / name;
        return;
      }
    }
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// The lines as a file this tool creates holds them: each ended by the
// platform's line ending (CRLF on Windows).
inline std::string NewFileText(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const std::string_view line : lines) {
    text += line;
    text += settings::kNewFileLineEnding;
  }
  return text;
}

}  // namespace trivexa::fakes
