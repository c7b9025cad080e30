#include "app/logic/command_line.h"

#include <algorithm>

#include "app/logic/mainfrm_definition.h"
#include "host/text.h"
#include "host/version.h"

namespace trivexa::app {
namespace {

ParsedWindowArguments Usage(std::string message) {
  return {std::nullopt, {kWindowExitUsage, std::move(message) + "\nTry 'trivexa --help'."}};
}

ParsedWindowArguments Answer(WindowArguments::Kind kind) {
  WindowArguments arguments;
  arguments.kind = kind;
  return {arguments, {}};
}

std::string_view WindowHelpText() {
  return R"(Usage: trivexa [--device N|PATH]

Opens the window that sets up the USB joystick 0079:0026.

  --device N|PATH  the joystick the window follows, by its number or its path
                   as 'trivexactl list' shows them. Numbers follow the USB
                   ports, so a joystick keeps its number while it stays in
                   the same socket. The window then waits for that joystick
                   alone and never takes another. Without --device: the
                   first joystick found
  -h, --help       this text
  --version        the program's version

Only one window runs per user: starting it again brings that window to the
front.

Exit status:
  0  the window was closed, or the running window was brought to the front
  1  --device names no joystick present
  2  usage error
)";
}

}  // namespace

ParsedWindowArguments ParseWindowArguments(std::span<const std::string_view> arguments) {
  WindowArguments parsed;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "-h" || argument == "--help") return Answer(WindowArguments::Kind::kHelp);
    if (argument == "--version") return Answer(WindowArguments::Kind::kVersion);
    std::string_view text;
    if (argument == "--device") {
      if (i + 1 < arguments.size()) text = arguments[++i];
    } else if (argument.starts_with("--device=")) {
      text = argument.substr(sizeof "--device=" - 1);
    } else if (argument.starts_with('-')) {
      return Usage("unknown option '" + std::string(argument) + "'");
    } else {
      return Usage("unexpected argument '" + std::string(argument) + "'");
    }
    if (parsed.device) return Usage("--device given twice");
    std::string error;
    parsed.device = hid::ParseDeviceChoice(text, error);
    if (!parsed.device) return Usage(error);
  }
  return {parsed, {}};
}

ChosenJoystick ChooseJoystick(hid::HidPlatform& platform,
                              const std::optional<hid::DeviceChoice>& device) {
  if (!device) return {};
  const std::vector<hid::NumberedJoystick> present = hid::PresentJoysticks(platform);
  if (const hid::NumberedJoystick* found = hid::FindChoice(present, *device)) return {*found, {}};
  return {std::nullopt, {kWindowExitNotFound, hid::NoSuchJoystick(*device, present)}};
}

std::optional<std::string> WindowAnswer(const ParsedWindowArguments& parsed) {
  if (!parsed.arguments) return std::nullopt;
  switch (parsed.arguments->kind) {
    case WindowArguments::Kind::kRun:
      return std::nullopt;
    case WindowArguments::Kind::kHelp:
      return std::string(WindowHelpText());
    case WindowArguments::Kind::kVersion:
      return "trivexa " + std::string(ProgramVersion()) + "\n";
  }
  return std::nullopt;
}

std::string FollowedKey(const std::optional<hid::NumberedJoystick>& followed) {
  if (!followed) return {};
  return followed->place.port.value_or(followed->place.path);
}

std::string SecondLaunchNotice(hid::HidPlatform& platform,
                               const std::optional<hid::DeviceChoice>& device,
                               std::string_view runningKey) {
  if (!device) return {};
  const std::vector<hid::NumberedJoystick> present = hid::PresentJoysticks(platform);
  const hid::NumberedJoystick* asked = hid::FindChoice(present, *device);
  if (asked == nullptr) {
    return hid::NoSuchJoystick(*device, present) + " The running window stays as it is.";
  }
  if (FollowedKey(*asked) == runningKey) return {};
  const auto running = std::find_if(present.begin(), present.end(), [&](const auto& joystick) {
    return FollowedKey(joystick) == runningKey;
  });
  const std::string shown = runningKey.empty() ? "the first joystick it finds"
                            : running != present.end()
                                ? hid::JoystickName(*running)
                                : "the joystick at " + TerminalText(runningKey);
  return "the running window is for " + shown + ", not " + hid::JoystickName(*asked) +
         "; close it first to choose another.";
}

std::string WindowTitle(const hid::NumberedJoystick* joystick) {
  std::string title(kMainfrmWindow.caption);
  if (joystick != nullptr) title += " \u2014 " + hid::JoystickName(*joystick);
  return title;
}

}  // namespace trivexa::app
