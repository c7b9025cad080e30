#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trivexa::cli {

// The "version" member of every object trivexactl prints. It goes up when
// a member is renamed or removed or changes its meaning; 2 named the axes
// rawX/rawY (the status reply) and x/y (the position).
inline constexpr int kJsonVersion = 2;

// `text` as a JSON string literal, quotes included. Control characters are
// escaped; bytes that are not valid UTF-8 (device names and paths can hold
// anything) become U+FFFD, so the output always parses.
std::string JsonString(std::string_view text);

// Builds one JSON object, member by member, in the order added. A key that
// equals an earlier one but for case throws std::logic_error.
class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view text);
  JsonObject& AddNumber(std::string_view key, std::int64_t number);
  JsonObject& AddBool(std::string_view key, bool flag);
  JsonObject& AddNull(std::string_view key);
  // The value where there is one, else null.
  JsonObject& AddOrNull(std::string_view key, const std::optional<std::string_view>& text);
  JsonObject& AddNumberOrNull(std::string_view key, const std::optional<std::int64_t>& number);
  // `json` must already be a complete JSON value.
  JsonObject& AddRaw(std::string_view key, std::string_view json);

  std::string Text() const { return body_ + "}"; }

 private:
  void Key(std::string_view key);

  std::string body_ = "{";
  std::vector<std::string> keys_;
};

}  // namespace trivexa::cli
