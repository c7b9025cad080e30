#pragma once

namespace trivexa::app::win32 {

// Brings this user's running window to the front, or makes it flash in the
// task bar where Windows does not let a new program take the foreground.
// False when no such window was found.
bool RaiseRunningWindow();

}  // namespace trivexa::app::win32
