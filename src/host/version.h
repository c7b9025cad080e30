#pragma once

#include <string_view>

namespace trivexa {

// The version the build gave both programs ("0.1.0").
std::string_view ProgramVersion();

}  // namespace trivexa
