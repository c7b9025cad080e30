#include "descriptors.h"

namespace vjoy {
namespace {

std::vector<std::uint8_t> JoystickDescriptor(std::optional<std::uint8_t> reportId) {
  std::vector<std::uint8_t> bytes{0x06, 0x00, 0xFF,            // Usage Page (vendor 0xFF00)
                                  0x09, 0x01,                  // Usage (1)
                                  0xA1, 0x01};                 // Collection (Application)
  if (reportId) bytes.insert(bytes.end(), {0x85, *reportId});  // Report ID
  bytes.insert(bytes.end(), {0x09, 0x02,                       // Usage (2)
                             0x15, 0x00,                       // Logical Minimum (0)
                             0x26, 0xFF, 0x00,                 // Logical Maximum (255)
                             0x75, 0x08,                       // Report Size (8)
                             0x95, 0x08,                       // Report Count (8)
                             0x81, 0x02,                       // Input (Data, Var, Abs)
                             0x09, 0x03,                       // Usage (3)
                             0x95, 0x40,                       // Report Count (64)
                             0x91, 0x02,                       // Output (Data, Var, Abs)
                             0xC0});                           // End Collection
  return bytes;
}

}  // namespace

std::vector<std::uint8_t> NumberedJoystickDescriptor(std::uint8_t reportId) {
  return JoystickDescriptor(reportId);
}

std::optional<std::vector<std::uint8_t>> PresetDescriptor(std::string_view name) {
  if (name == "joystick") return JoystickDescriptor(std::nullopt);
  if (name == "mouse") {
    return std::vector<std::uint8_t>{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00,
                                     0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01,
                                     0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05,
                                     0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81,
                                     0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};
  }
  return std::nullopt;
}

}  // namespace vjoy
