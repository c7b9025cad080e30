#pragma once

#include <functional>
#include <optional>
#include <string>

#include "hid/hid_platform.h"

namespace trivexa::cli {

// What the user can do about a refused access (the udev rule on Linux).
using AccessFix = std::function<std::string()>;

// After a scan that did not find the joystick: when an interface that the
// system identifies as the joystick cannot be opened, the window's notice
// for it (the node, the system's reason and the fix); nothing otherwise.
std::optional<std::string> JoystickOpenProblem(hid::HidPlatform& platform,
                                               const AccessFix& accessFix);

}  // namespace trivexa::cli
