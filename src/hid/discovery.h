#pragma once

#include <cstdint>
#include <string>

#include "hid/link_context.h"

namespace trivexa::hid {

inline constexpr std::uint16_t kJoystickVendorId = 0x0079;
inline constexpr std::uint16_t kJoystickProductId = 0x0026;
// Whether identifiers are the joystick's: both must match.
constexpr bool IsJoystick(const DeviceAttributes& ids) {
  return ids.vendorId == kJoystickVendorId && ids.productId == kJoystickProductId;
}
// Pause after the attributes query of every probed interface.
inline constexpr std::uint32_t kProbePauseMs = 100;
// Product-name characters logged: the low bytes of the first eleven UTF-16
// code units.
inline constexpr std::size_t kProductNameChars = 11;

// Probes the present HID interfaces in order until the joystick is found;
// opens it twice (writes, then reads), reads its report lengths and shows
// the connected look. A joystick whose report lengths cannot be read is not
// taken as connected. Logs every probed interface. Handles still open from a
// lost connection are closed first. Returns deviceConnected.
bool FindTheHid(LinkContext& context);

// The joystick's report lengths; kept as they were when the query fails.
void ReadDeviceCaps(LinkContext& context);

// Creates the read event once per run and binds readOverlapped to it.
void PrepareReadEvent(LinkContext& context);

// Closes a handle greater than 0 and resets it to 0; others stay as they are.
void CloseIfOpen(HidPlatform& platform, Handle& handle);

}  // namespace trivexa::hid
