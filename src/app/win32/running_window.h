#pragma once

#include <string>

namespace trivexa::app::win32 {

// Brings this user's running window to the front, or makes it flash in the
// task bar where Windows does not let a new program take the foreground.
// False when no such window was found. `followedKey`, when given, receives
// the joystick that window follows, as FollowedKey gives it.
bool RaiseRunningWindow(std::string* followedKey = nullptr);

}  // namespace trivexa::app::win32
