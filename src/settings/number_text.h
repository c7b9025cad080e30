#pragma once

#include <cstdint>
#include <string>

namespace trivexa {

// How the tool writes a number, on screen and in its settings file: decimal,
// no leading zeros, a blank before zero or a positive number and a minus
// sign before a negative one (" 5", "-300").
std::string NumberText(std::int64_t value);

}  // namespace trivexa
