#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace trivexa {

// Text helpers every layer shares, so each rule is written once.

// Equal but for the case of the letters A to Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// One character decoded from the start of UTF-8 text.
struct Utf8Char {
  char32_t code = 0;
  std::size_t length = 0;  // bytes it took
};
// The character `text` starts with, or nothing when its first bytes are not
// a well-formed sequence: a stray continuation byte, an overlong form, a
// UTF-16 surrogate, a value past U+10FFFF or a sequence cut off.
std::optional<Utf8Char> DecodeUtf8(std::string_view text);

// The system's words for an errno value: "Permission denied".
std::string ErrnoText(int error);

}  // namespace trivexa
