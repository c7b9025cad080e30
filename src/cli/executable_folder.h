#pragma once

#include <string>

namespace trivexa::cli {

// The folder of the running executable, without a trailing separator; empty
// when the system cannot tell.
std::string ExecutableFolder();

}  // namespace trivexa::cli
