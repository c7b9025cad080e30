#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// The HID backend of the operating system the program was built for, looking
// at the machine's real devices. Each platform's backend folder defines it.
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

// What the user can do so that the system lets this program, installed in
// `programFolder`, open the joystick, worked out when asked; an empty
// function where there is nothing to say.
AccessFix SystemAccessFix(std::filesystem::path programFolder);

// The system rule that lets the user at the seat open the joystick, as the
// text of a file to save, with comments saying where and how to load it;
// empty where the system needs none.
std::string SystemAccessRule();

// For a problem report: whether the system's access rule is in place, and
// for each of `joystickNodes` its owner, group and mode and whether this
// user may open it, one fact a line; nothing where the system has no such
// rule (there the open's own error tells). Owners and groups go as numbers:
// their names can be the user's.
std::vector<std::string> SystemAccessFacts(const std::vector<std::string>& joystickNodes);

}  // namespace trivexa::hid
