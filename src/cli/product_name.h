#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace trivexa::cli {

// A HID product string (UTF-16 little-endian, up to its first zero unit or
// the end of the buffer) as UTF-8. Unpaired surrogates become U+FFFD.
std::string ProductNameFromUtf16(std::span<const std::uint8_t> bytes);

// A device's name made safe for a terminal and for the quotes around it:
// control characters escaped as TerminalText does, and a quote or backslash
// gets a backslash. Everything else, other scripts too, stays.
std::string QuotedTerminalText(std::string_view utf8);

}  // namespace trivexa::cli
