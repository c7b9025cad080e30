#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// A status or position reply as a read returned it, decoded once. Values
// at offsets the report does not reach read as zero; the lines leave them
// out.
struct Reply {
  std::uint8_t tag = 0;             // CMD_QUERY_STATUS or CMD_QUERY_POSITION
  std::vector<std::uint8_t> bytes;  // as read, at least MIN_REPLY_BYTES
  // A status reply: the four indexes and the two axis bytes before the tag.
  settings::JoystickSettings indexes{};
  std::uint8_t rawX = 0;
  std::uint8_t rawY = 0;
  // A position reply: the two signed axes.
  std::int16_t x = 0;
  std::int16_t y = 0;

  bool IsStatus() const { return tag == CMD_QUERY_STATUS; }
  bool IsPosition() const { return tag == CMD_QUERY_POSITION; }
};

// The reply a report carries, or nothing when it is too short or tagged as
// neither query.
std::optional<Reply> DecodeReply(InputReport report);
// The window's line for a reply: the status line or the position line.
std::string ReplyLine(const Reply& reply);

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
