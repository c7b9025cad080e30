#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "hid/forwarding_hid_platform.h"

namespace trivexa::hid {

// Numbering the joysticks by USB port and choosing one with --device, the
// same for trivexactl and the window, so a number or path means the same
// joystick to both.

// Which joystick --device names: its number as `trivexactl list` shows it,
// or its path.
using DeviceChoice = std::variant<unsigned, std::string>;

// --device's value: digits are a number (from 1), anything else a path.
// Nothing, with `error` set, for an empty value, one that starts with '-'
// (the next option, not a path) or a number out of range.
std::optional<DeviceChoice> ParseDeviceChoice(std::string_view text, std::string& error);

// Where a joystick is: its interface and the USB port it is plugged into.
struct JoystickPlace {
  std::string path;
  std::optional<std::string> port;  // nothing when the system does not tell
};

struct NumberedJoystick {
  unsigned number = 0;  // 1 for the first
  JoystickPlace place;
};

// "joystick 2, port 1-1.4", or "joystick 2" where the port is not known;
// made safe for a terminal.
std::string JoystickName(const NumberedJoystick& joystick);

// Numbers joysticks 1, 2, ... in the order of their USB ports, so that a
// socket keeps its number across replugs and restarts while the paths
// change. Ports go in natural order ("1-2" before "1-2.1" before "1-10");
// joysticks whose port the system does not tell come after, by path.
std::vector<NumberedJoystick> NumberJoysticks(std::vector<JoystickPlace> places);

// The joysticks present, numbered: identified without opening where the
// system allows, otherwise by opening each interface for a moment.
std::vector<NumberedJoystick> PresentJoysticks(HidPlatform& platform);

// The joystick `choice` names; null when none does.
const NumberedJoystick* FindChoice(const std::vector<NumberedJoystick>& joysticks,
                                   const DeviceChoice& choice);

// "1 (port 1-2, /dev/hidraw2), 2 (/dev/hidraw0)", made safe for a terminal.
std::string DescribeJoysticks(const std::vector<NumberedJoystick>& joysticks);

// Why `choice` names none of `present`: "no joystick 3; present: 1 (port
// 1-2, /dev/hidraw2)." or "no joystick at PATH; none is present (USB
// 0079:0026)."
std::string NoSuchJoystick(const DeviceChoice& choice,
                           const std::vector<NumberedJoystick>& present);

// What a device command runs over. With a chosen joystick, discovery sees
// only the interfaces at its USB port (at its path where the port is not
// known), so the command keeps to that socket, also when the joystick is
// unplugged and comes back under another path; without one it sees every
// interface and takes the first joystick found, as the window does.
class JoystickTarget final : public ForwardingHidPlatform {
 public:
  explicit JoystickTarget(HidPlatform& all, std::optional<NumberedJoystick> chosen = {});

  std::vector<std::string> ListInterfaces() override;

  const std::optional<NumberedJoystick>& Chosen() const { return chosen_; }

  // Numbers the joysticks present again and keeps the one at `path` (what a
  // connected session opened) as Connected(); gives how many are present.
  std::size_t Identify(const std::string& path);
  const std::optional<NumberedJoystick>& Connected() const { return connected_; }

 private:
  std::optional<NumberedJoystick> chosen_;
  std::optional<NumberedJoystick> connected_;
};

}  // namespace trivexa::hid
