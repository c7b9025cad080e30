#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vjoy {

// Report descriptors the scenario can name instead of spelling out bytes.
// "joystick": vendor page, 8-byte input and 64-byte output reports, no
// report IDs. "mouse": a boot mouse, input only.
std::optional<std::vector<std::uint8_t>> PresetDescriptor(std::string_view name);

// The joystick's descriptor with its reports numbered `reportId` (1-255).
std::vector<std::uint8_t> NumberedJoystickDescriptor(std::uint8_t reportId);

}  // namespace vjoy
