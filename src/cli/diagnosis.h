#pragma once

#include <optional>
#include <string>

#include "hid/hid_platform.h"

namespace trivexa::cli {

// After a scan that did not find the joystick: when an interface that the
// system identifies as the joystick cannot be opened, the window's notice
// for it (the node, the system's reason and the fix), escaped for the
// terminal since the fix names the program's own folder; nothing otherwise.
std::optional<std::string> JoystickOpenProblem(hid::HidPlatform& platform,
                                               const hid::AccessFix& accessFix);

}  // namespace trivexa::cli
