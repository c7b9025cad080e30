#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace trivexa::cli {

// A HID product string (UTF-16 little-endian, up to its first zero unit or
// the end of the buffer) as UTF-8. Unpaired surrogates become U+FFFD.
std::string ProductNameFromUtf16(std::span<const std::uint8_t> bytes);

}  // namespace trivexa::cli
