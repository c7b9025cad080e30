#pragma once

#include <cstdint>
#include <optional>

#include "hid/link_context.h"
#include "protocol/reports.h"
#include "settings/joystick_settings.h"

namespace trivexa::protocol {

// Longest wait for an input report.
inline constexpr std::uint32_t kReadWaitMs = 100;

// What one read brought.
struct Received {
  // The bytes of a report that was already queued when the read started;
  // 0 when none was.
  std::int32_t count = 0;
  // That report, when it is a status or position reply.
  std::optional<Reply> reply;
};

// Writes one output report carrying `code` (and, for CMD_WRITE_CONFIG, the
// four indexes of `settings`). A lost device that was found before is
// searched for first; a failed write clears deviceConnected.
void SendCommand(hid::LinkContext& context, const settings::JoystickSettings& settings,
                 std::uint8_t code);

// Reads one input report, waiting at most 100 ms. Only a report that was
// already queued when the read started counts; one taken during the wait
// is dropped.
Received ReceiveReport(hid::LinkContext& context);

}  // namespace trivexa::protocol
