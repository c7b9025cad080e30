#pragma once

#include <string>

#include "scenario.h"

namespace vjoy {

// The sysfs entries of one interface, laid out as the kernel does for a
// USB HID device (usb device / usb interface / hid device / hidraw node),
// below `root` in place of /sys:
//   class/hidraw/hidrawN and dev/char/MAJOR:N link to the node folder,
//   the node has uevent, dev and subsystem; its `device` link leads to the
//   hid device (uevent with HID_ID/HID_NAME, report_descriptor); its
//   parents carry the USB interface and the USB device (idVendor,
//   idProduct, product). Everything is made with raw system calls, so it
//   never passes through the fixture's own wrappers.
bool AddInterface(const std::string& root, const VirtualInterface& virtualInterface);
// Takes the interface away as an unplug does: the links and the device
// folders go.
void RemoveInterface(const std::string& root, const VirtualInterface& virtualInterface);
// The folder of hidrawN below `root`, as class/hidraw/hidrawN resolves.
std::string NodeFolder(const VirtualInterface& virtualInterface);
// Removes the whole tree.
void RemoveTree(const std::string& root);

}  // namespace vjoy
