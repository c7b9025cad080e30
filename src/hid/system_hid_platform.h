#pragma once

#include <filesystem>
#include <memory>
#include <string>

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

}  // namespace trivexa::hid
