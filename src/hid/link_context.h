#pragma once

#include "hid/device_link.h"
#include "hid/hid_platform.h"
#include "host/clock.h"
#include "host/window_ops.h"

namespace trivexa::hid {

// What discovery and the report exchange work on: the link state, the
// operating system's HID calls, the window's log and labels, and the clock
// every pause goes through.
struct LinkContext {
  DeviceLink& link;
  HidPlatform& platform;
  WindowOps& window;
  Clock& clock;
};

}  // namespace trivexa::hid
