#pragma once

#include <cstdint>

#include "hid/link_context.h"
#include "settings/joystick_settings.h"

namespace trivexa::protocol {

// Longest wait for an input report.
inline constexpr std::uint32_t kReadWaitMs = 100;
// The exchange clears the log once it holds more lines than this.
inline constexpr std::int16_t kLogLineCap = 100;

// Writes one output report carrying `code` (and, for CMD_WRITE_CONFIG, the
// four indexes of `settings`). A lost device that was found before is
// searched for first; a failed write clears deviceConnected.
void SendCommand(hid::LinkContext& context, const settings::JoystickSettings& settings,
                 std::uint8_t code);

// Reads one input report, waiting at most 100 ms. A status or position
// reply that was already queued when the read started goes to the status or
// position label. Returns the bytes of that queued report, 0 when none was.
std::int32_t ReceiveReport(hid::LinkContext& context);

}  // namespace trivexa::protocol
