#pragma once

#include <cstdint>
#include <string_view>

namespace trivexa::settings {

// Reads the number at the start of a stored value: blanks, tabs and line
// feeds are skipped wherever they stand; an optional sign, digits and an
// optional decimal fraction form the number; reading stops at the first
// other character; no number reads as 0. The result is the nearest whole
// number, a half going to the even neighbour. Magnitudes beyond what an
// index can be are capped at kNumberCap (with their sign), so a value of a
// thousand digits neither overflows nor takes long.
// Exponents ("1e3") and radix prefixes ("&HFF") are not numbers here: the
// tool never writes them, so "1e3" reads as 1 and "&HFF" as 0.
inline constexpr std::int64_t kNumberCap = 1'000'000;
std::int64_t ReadLeadingNumber(std::string_view text);

}  // namespace trivexa::settings
