#pragma once

#include <cstdint>

namespace trivexa::protocol {

// The fixed pauses around the commands, shared by every front-end so that
// the device sees the same timing from each of them.
inline constexpr std::uint32_t kReplyPauseMs = 30;         // a query, then its read
inline constexpr std::uint32_t kBeforeWriteConfigMs = 50;  // before CMD_WRITE_CONFIG
inline constexpr std::uint32_t kAfterWriteConfigMs = 30;   // after CMD_WRITE_CONFIG
inline constexpr std::uint32_t kBeforeCloseMs = 100;       // before CMD_CLOSE
inline constexpr std::uint32_t kAfterCloseMs = 200;        // after CMD_CLOSE, before the handles go
inline constexpr int kPollIntervalMs = 1000;
// A device that queues reports faster than they are read must not hold the
// connection sequence for ever.
inline constexpr int kMaxDrainReads = 64;

}  // namespace trivexa::protocol
