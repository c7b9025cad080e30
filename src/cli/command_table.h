#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/setting_values.h"

namespace trivexa::cli {

// trivexactl's commands and options, each said once: the parser, --help,
// the error messages and the shell completions are all made from these
// tables. A new command is a CommandKind, a row of kCommands, its case in
// Run() and its runner.

enum class OptionId : std::uint8_t {
  kJson,
  kDeadZone,
  kAngleOffset,
  kThreshold,
  kInterval,
  kSave,
  kDevice,
  kOutput,
};

enum class ValueKind : std::uint8_t {
  kNone,      // a switch
  kSetting,   // a text of one of the window's lists
  kJoystick,  // a joystick's number or path as `list` shows them
  kFile,      // a file name
};

struct OptionRow {
  OptionId id;
  std::string_view name;  // without the leading "--"
  ValueKind value;
  std::string_view valueName;  // as --help writes the value: "V", "N|PATH"
  // One line for the shell completions; no brackets or colons, which zsh
  // reads as syntax.
  std::string_view summary;
  // --help's lines: under the command when one command takes the option,
  // among the common options when several do; empty for none. A setting
  // shows its choices instead.
  std::string_view help;
};

// In the order --help and the usage lines show them.
inline constexpr auto kOptions = std::to_array<OptionRow>({
    {OptionId::kJson, "json", ValueKind::kNone, "", "print JSON", ""},
    {OptionId::kDeadZone, kSettingNames[0].option, ValueKind::kSetting, "V", "dead zone angle", ""},
    {OptionId::kAngleOffset, kSettingNames[1].option, ValueKind::kSetting, "V",
     "maximum angle offset", ""},
    {OptionId::kThreshold, kSettingNames[2].option, ValueKind::kSetting, "V", "movement threshold",
     ""},
    {OptionId::kInterval, kSettingNames[3].option, ValueKind::kSetting, "V",
     "transmission interval", ""},
    {OptionId::kSave, "save", ValueKind::kNone, "", "also store the values in JOYSTICK.INI",
     "also store the values in JOYSTICK.INI, where the\nwindow keeps them"},
    {OptionId::kDevice, "device", ValueKind::kJoystick, "N|PATH",
     "the joystick, by its number or path as list shows them",
     "the joystick to use, by its number or its path as\n"
     "'list' shows them. Numbers follow the USB ports, so a\n"
     "joystick keeps its number while it stays in the same\n"
     "socket. Without --device: the first joystick found, the\n"
     "one the window takes"},
    {OptionId::kOutput, "output", ValueKind::kFile, "FILE", "write the report to this file",
     "write the report to FILE instead of standard output"},
});

using OptionSet = std::uint32_t;
constexpr OptionSet Bit(OptionId id) { return OptionSet{1} << static_cast<unsigned>(id); }
inline constexpr OptionSet kSettingOptions = Bit(OptionId::kDeadZone) |
                                             Bit(OptionId::kAngleOffset) |
                                             Bit(OptionId::kThreshold) | Bit(OptionId::kInterval);

struct CommandRow {
  CommandKind kind;
  std::string_view name;
  OptionSet options;
  // The one word after the command, with its choices ("bash zsh fish");
  // empty for none.
  std::string_view operands;
  // One line for the shell completions (no brackets or colons).
  std::string_view summary;
  // --help's lines under the usage, each at most 55 characters; empty
  // keeps the command out of --help's list.
  std::string_view help;
};

// In the order --help lists them.
inline constexpr auto kCommands = std::to_array<CommandRow>({
    {CommandKind::kList, "list", Bit(OptionId::kJson), "",
     "every HID interface, each joystick marked with its number and port",
     "every HID interface: path, vendor and product id,\n"
     "product name, report lengths; each joystick is marked\n"
     "with its number and the USB port it is plugged into"},
    {CommandKind::kStatus, "status", Bit(OptionId::kJson) | Bit(OptionId::kDevice), "",
     "print the joystick's status line and position line",
     "connect as the window does, then print the device's\n"
     "status line and position line"},
    {CommandKind::kWrite, "write", kSettingOptions | Bit(OptionId::kSave) | Bit(OptionId::kDevice),
     "", "write new values into the joystick's EEPROM and read them back",
     "write new values into the joystick's EEPROM, then read\n"
     "them back; values not given keep the device's own"},
    {CommandKind::kWatch, "watch", Bit(OptionId::kJson) | Bit(OptionId::kDevice), "",
     "print a line for every change, until Ctrl+C",
     "poll once a second as the window does and print a line\n"
     "for every change, until Ctrl+C"},
    {CommandKind::kUdevRule, "udev-rule", 0, "",
     "print the udev rule that lets the logged-in user open the joystick",
     "print a udev rule that lets the logged-in user open\n"
     "the joystick (Linux)"},
    {CommandKind::kReport, "report", Bit(OptionId::kDevice) | Bit(OptionId::kOutput), "",
     "write a problem report to attach when something goes wrong",
     "a problem report to attach when something goes wrong:\n"
     "version, system, access, every HID interface with its\n"
     "report descriptor, and a timed transcript of what the\n"
     "joystick answered to a connection and a few polls; it\n"
     "writes nothing to the joystick's EEPROM"},
    {CommandKind::kCompletion, "completion", 0, "bash zsh fish",
     "print the shell completion script for bash, zsh or fish",
     "print the completion script of that shell: the\n"
     "commands, their options and the choices of each value"},
    {CommandKind::kHelp, "help", 0, "", "print the help text", ""},
});

const OptionRow& RowOf(OptionId id);
// The row of a command typed as a word; nullptr for --version, which has none.
const CommandRow* RowOf(CommandKind kind);

constexpr bool Takes(const CommandRow& command, OptionId option) {
  return (command.options & Bit(option)) != 0;
}

// "'status', 'write' and 'report'": the commands that take `option`.
std::string CommandsTaking(OptionId option);

// The record's field a setting option sets (0 to 3).
constexpr std::size_t FieldOf(OptionId setting) {
  return static_cast<std::size_t>(setting) - static_cast<std::size_t>(OptionId::kDeadZone);
}

enum class Shell { kBash, kZsh, kFish };
// The completion script of `shell`, made from the tables.
std::string CompletionScript(Shell shell);

}  // namespace trivexa::cli
