#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "hid/hid_platform.h"
#include "hid/joysticks.h"

namespace trivexa::app {

// What the window's command line asks for. Both windows share it, and
// --device means what it means to trivexactl.
struct WindowArguments {
  enum class Kind { kRun, kHelp, kVersion } kind = Kind::kRun;
  // The joystick the window follows; nothing takes the first one found.
  std::optional<hid::DeviceChoice> device;
};

// The exit statuses the window shares with trivexactl.
inline constexpr int kWindowExitNotFound = 1;
inline constexpr int kWindowExitUsage = 2;

// How a start ends before the window is made: an exit status, and the
// message for standard error and the message box (empty for none).
struct StartRefusal {
  int status = 0;
  std::string message;
};

struct ParsedWindowArguments {
  std::optional<WindowArguments> arguments;
  StartRefusal refusal;  // a usage error, when there are no arguments
};

// `arguments` without the program name. --device takes its value as the
// next argument or after "=".
ParsedWindowArguments ParseWindowArguments(std::span<const std::string_view> arguments);

struct ChosenJoystick {
  std::optional<hid::NumberedJoystick> joystick;
  StartRefusal refusal;  // status 1 when `device` names no joystick present
};

// The joystick `device` names among those present, found without sending
// anything to any of them; no choice gives no joystick and no refusal.
ChosenJoystick ChooseJoystick(hid::HidPlatform& platform,
                              const std::optional<hid::DeviceChoice>& device);

// What --help or --version prints, which needs no window; nothing for a
// start of the window or a usage error.
std::optional<std::string> WindowAnswer(const ParsedWindowArguments& parsed);

// What a running window answers a second launch: the port of the joystick
// it follows, or its path where the port is not known; empty while it
// follows none yet.
std::string FollowedKey(const std::optional<hid::NumberedJoystick>& followed);

// What a second launch says on standard error when it asked for another
// joystick than the running window follows (`runningKey`, as FollowedKey
// gives it); empty when there is nothing to say.
std::string SecondLaunchNotice(hid::HidPlatform& platform,
                               const std::optional<hid::DeviceChoice>& device,
                               std::string_view runningKey);

// The title bar: "Trivexa", or "Trivexa — joystick 2, port 1-1.4".
std::string WindowTitle(const hid::NumberedJoystick* joystick);

}  // namespace trivexa::app
