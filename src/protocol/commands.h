#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace trivexa::protocol {

// One byte at offset 1 of an output report. A reply to a query carries the
// query's own code as its tag at offset 4.
inline constexpr std::uint8_t CMD_WRITE_CONFIG = 0x3A;
inline constexpr std::uint8_t CMD_QUERY_STATUS = 0x5A;
inline constexpr std::uint8_t CMD_QUERY_POSITION = 0x6A;
inline constexpr std::uint8_t CMD_CLOSE = 0xAA;

inline constexpr std::size_t kOutputReportBytes = 65;
using OutputReport = std::array<std::uint8_t, kOutputReportBytes>;

// Offsets of an input report as the tool reads it (byte 0 is the report ID).
namespace input_offset {
inline constexpr std::size_t kX = 1;
inline constexpr std::size_t kY = 2;
inline constexpr std::size_t kTag = 4;
inline constexpr std::size_t kDeadZone = 5;
inline constexpr std::size_t kAngleOffset = 6;
inline constexpr std::size_t kMoveThreshold = 7;
inline constexpr std::size_t kInterval = 8;
inline constexpr std::size_t kPositionX = 5;  // low byte, high byte at 6
inline constexpr std::size_t kPositionY = 7;  // low byte, high byte at 8
}  // namespace input_offset

// A reply is interpreted only when its read returned at least this many
// bytes; interpreting it reads up to offset 8.
inline constexpr std::int32_t MIN_REPLY_BYTES = 8;
inline constexpr std::size_t kInterpretedBytes = 9;

}  // namespace trivexa::protocol
