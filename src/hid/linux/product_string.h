#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// Writes `utf8` into `buffer` as UTF-16 little-endian, followed by a zero
// code unit when there is room for one. A string that does not fit is cut
// at a whole character, without terminator. Malformed UTF-8 becomes U+FFFD,
// one per bad byte. Bytes after what is written are left as they were.
void EncodeProductString(std::string_view utf8,
                         std::span<std::uint8_t, kProductStringBytes> buffer);

}  // namespace trivexa::hid
