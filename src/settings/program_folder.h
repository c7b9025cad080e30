#pragma once

#include <filesystem>

namespace trivexa::settings {

// The folder that holds the running executable, in the platform's own path
// form (bytes on Linux, UTF-16 on Windows), so a folder name that is not
// valid text survives untouched. Needs no window toolkit: the Qt window, a
// Win32 window and a command-line tool can all use it. Empty when the system
// cannot say, which leaves the settings file without a place.
std::filesystem::path ExecutableFolder();

}  // namespace trivexa::settings
