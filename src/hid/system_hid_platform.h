#pragma once

#include <memory>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// The HID backend of the operating system the program was built for, looking
// at the machine's real devices. Each platform's backend folder defines it.
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

}  // namespace trivexa::hid
