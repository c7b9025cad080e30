#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "hid/joysticks.h"

namespace trivexa::cli {

using hid::DeviceChoice;
using hid::JoystickPlace;
using hid::JoystickTarget;
using hid::NumberedJoystick;

enum class CommandKind {
  kHelp,
  kVersion,
  kList,
  kStatus,
  kWrite,
  kWatch,
  kUdevRule,
  kReport,
  kCompletion,
};

// One run of trivexactl, as its command line asks for it.
struct Invocation {
  CommandKind kind = CommandKind::kHelp;
  bool json = false;
  // write: the new index of each field, in field order; nullopt keeps the
  // device's current value.
  std::array<std::optional<std::uint8_t>, 4> values;
  bool save = false;
  // status, write, watch: the joystick --device names; nothing takes the
  // first one found.
  std::optional<DeviceChoice> device;
  // report: the file to write instead of standard output.
  std::optional<std::string> output;
  // The word after the command, for a command that takes one (completion's
  // shell).
  std::string operand;
};

struct ParsedArguments {
  std::optional<Invocation> invocation;
  std::string error;  // the usage error when there is no invocation
};

// `arguments` without the program name. Options take their value as the
// next argument or after "=" ("--interval 20ms", "--interval=20ms").
ParsedArguments ParseArguments(std::span<const std::string_view> arguments);

// Whether `arguments` ask for nothing but the help or the version text.
bool AsksOnlyForText(std::span<const std::string_view> arguments);

// The --help text, made from the command table.
std::string HelpText();

}  // namespace trivexa::cli
