#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocol/commands.h"
#include "settings/joystick_settings.h"
#include "settings/number_text.h"

namespace trivexa::protocol {

// An input report as read: the bytes the read returned, no more.
using InputReport = std::span<const std::uint8_t>;

// Fragments of the status line, by the index the device reports: the dead
// zone reads as its list entry, the others follow a comma. The interval
// table names three more intervals than the window offers.
inline constexpr const auto& kDeadZoneFragments = settings::kDeadZoneTexts;
inline constexpr std::array<std::string_view, 11> kAngleOffsetFragments = {
    ", -5", ", -4", ", -3", ", -2", ", -1", ", 0", ", +1", ", +2", ", +3", ", +4", ", +5"};
inline constexpr std::array<std::string_view, 6> kMoveThresholdFragments = {", 1", ", 2", ", 3",
                                                                            ", 4", ", 5", ", 6"};
inline constexpr std::array<std::string_view, 8> kIntervalFragments = {
    ", 10ms", ", 20ms", ", 30ms", ", 40ms", ", 50ms", ", 60ms", ", 70ms", ", 80ms"};

// 65 bytes: report ID 0, the code, and for CMD_WRITE_CONFIG the four
// indexes of `settings`; zero everywhere else.
OutputReport BuildOutputReport(std::uint8_t code, const settings::JoystickSettings& settings);

// "Current Status:" with the four fragments, ", X=" and ",Y=". A value at
// an offset the report does not reach is left out, with its label.
std::string StatusLineFromReport(InputReport report);
// " x=" and ",y=" with the signed 16-bit little-endian values, each only
// when the report holds both its bytes.
std::string PositionLineFromReport(InputReport report);

}  // namespace trivexa::protocol
