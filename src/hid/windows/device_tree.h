#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trivexa::hid {

// What the device tree tells about HID interfaces without opening them:
// SetupAPI lists the interfaces, the configuration manager walks from one up
// to the devices it belongs to.

// The paths of the HID interfaces present now ("\\?\hid#vid_0079&..."), in
// SetupAPI's order; an interface whose record cannot be read is left out.
std::vector<std::string> HidInterfacePaths();

// The first location path of the USB device above the interface at
// `interfacePath` (what Device Manager shows as its first "Location paths"
// entry, "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"). Nothing when the
// interface sits on no USB device (Bluetooth, a virtual bus) or the device
// has no such path.
std::optional<std::string> UsbLocationPath(const std::string& interfacePath);

}  // namespace trivexa::hid
