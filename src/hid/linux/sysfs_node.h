#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hid/hid_platform.h"

namespace trivexa::hid {

// What sysfs tells about a hidraw node without opening it. `classDir` is
// the folder of the hidraw class (/sys/class/hidraw); only the node path's
// last part counts.

// "hidraw" followed by a decimal number as the kernel writes it: digits
// only, no leading zero.
bool IsHidrawName(std::string_view name);

// From HID_ID in the uevent file of the node's HID device.
std::optional<DeviceAttributes> SysfsHidIds(const std::string& classDir,
                                            const std::string& nodePath);

// The `product` attribute of the USB device the node belongs to; nothing
// when it is not on USB or the attribute is missing or empty.
std::optional<std::string> SysfsUsbProduct(const std::string& classDir,
                                           const std::string& nodePath);

// The name of the USB device's folder, which the kernel gives for its place:
// the bus, a dash, then the port on each hub down from the root, joined by
// dots ("1-2.3"). Nothing when the node is not on USB.
std::optional<std::string> SysfsUsbPort(const std::string& classDir, const std::string& nodePath);

// The bus, HID_NAME and HID_PHYS from the uevent file of the node's HID
// device, and its report_descriptor, which sysfs gives to every user.
InterfaceRecord SysfsHidRecord(const std::string& classDir, const std::string& nodePath);

}  // namespace trivexa::hid
