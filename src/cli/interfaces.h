#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hid/discovery.h"
#include "hid/hid_platform.h"

namespace trivexa::cli {

// One HID interface as `list` shows it.
struct InterfaceInfo {
  std::string path;
  std::optional<std::string> openError;
  std::optional<hid::DeviceAttributes> attributes;
  std::optional<std::string> productName;
  std::optional<hid::HidCaps> caps;
  std::optional<std::string> port;
  std::optional<unsigned> number;  // joysticks only

  bool IsJoystick() const { return attributes && hid::IsJoystick(*attributes); }
};

// Every present interface, each opened for a moment the way discovery's
// probe opens it, the joysticks numbered by their ports.
std::vector<InterfaceInfo> ProbeInterfaces(hid::HidPlatform& platform);

// `list`'s line of an interface, safe for a terminal.
std::string TextLine(const InterfaceInfo& info);

}  // namespace trivexa::cli
