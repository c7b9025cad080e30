#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace trivexa::settings {

// A save writes a temporary file beside the file it replaces, named its
// prefix (the file's name and kTempMark), the writing process's id, a dot and
// six random letters or digits: recognisably ours and naming its writer, so
// that the next save can remove what a killed one left.
inline constexpr std::string_view kTempMark = ".trivexa-save.";
inline constexpr std::size_t kTempUniqueLength = 6;

// What follows the prefix in a fresh temporary name of process `pid`.
inline std::string TempNameTail(std::uint32_t pid) {
  static constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string text = std::to_string(pid) + ".";
  for (std::size_t i = 0; i < kTempUniqueLength; ++i) text += kLetters[pick(random)];
  return text;
}

// The writer's process id when `name` is a temporary file of a save whose
// temporary names begin with `prefix`.
template <typename Char>
std::optional<std::uint32_t> TempFileWriter(std::basic_string_view<Char> name,
                                            std::basic_string_view<Char> prefix) {
  if (!name.starts_with(prefix)) return std::nullopt;
  name.remove_prefix(prefix.size());
  const std::size_t dot = name.find(Char{'.'});
  if (dot == 0 || dot == name.npos || dot > 9) return std::nullopt;
  if (name.size() - dot - 1 != kTempUniqueLength) return std::nullopt;
  std::uint32_t pid = 0;
  for (const Char c : name.substr(0, dot)) {
    if (c < Char{'0'} || c > Char{'9'}) return std::nullopt;
    pid = pid * 10 + static_cast<std::uint32_t>(c - Char{'0'});
  }
  return pid;
}

}  // namespace trivexa::settings
