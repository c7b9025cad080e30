#include "cli/arguments.h"

#include <algorithm>

#include "cli/setting_values.h"
#include "host/text.h"

namespace trivexa::cli {
namespace {

struct CommandName {
  std::string_view name;
  CommandKind kind;
  bool takesJson;
  bool takesDevice;
};
constexpr std::array<CommandName, 7> kCommands = {{
    {"list", CommandKind::kList, true, false},
    {"status", CommandKind::kStatus, true, true},
    {"write", CommandKind::kWrite, false, true},
    {"watch", CommandKind::kWatch, true, true},
    {"udev-rule", CommandKind::kUdevRule, false, false},
    {"report", CommandKind::kReport, false, true},
    {"help", CommandKind::kHelp, false, false},
}};

// Windows programs answer "/?" with their help, and Windows users type it
// first; elsewhere it is an argument like any other.
#ifdef _WIN32
constexpr bool kSlashQuestionIsHelp = true;
#else
constexpr bool kSlashQuestionIsHelp = false;
#endif

ParsedArguments Usage(std::string message) {
  return {std::nullopt, std::move(message) + "\nTry 'trivexactl --help'."};
}

}  // namespace

std::string_view HelpText() {
  return R"(Usage: trivexactl COMMAND [OPTIONS]

Sets up the USB joystick 0079:0026 from the command line.

Commands:
  list [--json]        every HID interface: path, vendor and product id,
                       product name, report lengths; each joystick is marked
                       with its number and the USB port it is plugged into
  status [--json] [--device N|PATH]
                       connect as the window does, then print the device's
                       status line and position line
  write [VALUES] [--save] [--device N|PATH]
                       write new values into the joystick's EEPROM, then read
                       them back; values not given keep the device's own
      --dead-zone V      1.0deg 1.5deg ... 5.0deg
      --angle-offset V   -5 -4 -3 -2 -1 0 +1 +2 +3 +4 +5
      --threshold V      1 2 3 4 5 6
      --interval V       10ms 20ms 30ms 40ms 50ms
                       V is a text of the window's list, or its index in the
                       list written iN (i0, i5), the same in cmd, PowerShell
                       and sh; "3" is a text, i3 an index
      --save             also store the values in JOYSTICK.INI, where the
                         window keeps them
  watch [--json] [--device N|PATH]
                       poll once a second as the window does and print a line
                       for every change, until Ctrl+C
  udev-rule            print a udev rule that lets the logged-in user open
                       the joystick (Linux)
  report [--device N|PATH] [--output FILE]
                       a problem report to attach when something goes wrong:
                       version, system, access, every HID interface with its
                       report descriptor, and a timed transcript of what the
                       joystick answered to a connection and a few polls; it
                       writes nothing to the joystick's EEPROM

  --device N|PATH      the joystick to use, by its number or its path as
                       'list' shows them. Numbers follow the USB ports, so a
                       joystick keeps its number while it stays in the same
                       socket. Without --device: the first joystick found, the
                       one the window takes
  -h, --help           this text
  --version            the program's version

Commands that open the joystick always end by sending it the close command,
also on Ctrl+C. While the Trivexa window runs for the same user, they refuse.
One such command runs at a time per user: a second one waits up to 3 seconds
for the first to finish, then gives up with status 8.

Exit status:
  0  success
  1  joystick not found (or none with the number or path --device gives)
  2  usage error or invalid value
  3  joystick found but cannot be opened (the reason and the fix go to stderr)
  4  no reply from the joystick, a failed write, or the read-back differs
  5  the Trivexa window is running
  6  the joystick took the values but JOYSTICK.INI could not be written
  7  the output could not be written (standard output closed or full)
  8  another trivexactl kept the joystick busy for 3 seconds
  130  interrupted before the command was done
)";
}

bool AsksOnlyForText(std::span<const std::string_view> arguments) {
  const std::optional<Invocation> invocation = ParseArguments(arguments).invocation;
  return invocation &&
         (invocation->kind == CommandKind::kHelp || invocation->kind == CommandKind::kVersion);
}

ParsedArguments ParseArguments(std::span<const std::string_view> arguments) {
  Invocation invocation;
  std::optional<CommandName> command;
  bool jsonGiven = false;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "-h" || argument == "--help" || (kSlashQuestionIsHelp && argument == "/?")) {
      return {Invocation{}, {}};
    }
    if (argument == "--version") {
      Invocation version;
      version.kind = CommandKind::kVersion;
      return {version, {}};
    }

    if (!argument.starts_with('-')) {
      if (command) return Usage("unexpected argument '" + std::string(argument) + "'");
      const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                      [&](const CommandName& c) { return c.name == argument; });
      if (found == kCommands.end()) return Usage("unknown command '" + std::string(argument) + "'");
      command = *found;
      continue;
    }

    if (!argument.starts_with("--")) {
      return Usage("unknown option '" + std::string(argument) + "'");
    }
    std::string_view name = argument.substr(2);
    std::optional<std::string_view> inlineValue;
    if (const auto equals = name.find('='); equals != std::string_view::npos) {
      inlineValue = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const auto noValue = [&]() -> std::optional<ParsedArguments> {
      if (inlineValue) return Usage("--" + std::string(name) + " takes no value");
      return std::nullopt;
    };

    if (name == "json") {
      if (auto error = noValue()) return *error;
      if (jsonGiven) return Usage("--json given twice");
      jsonGiven = true;
      continue;
    }
    if (name == "save") {
      if (auto error = noValue()) return *error;
      if (invocation.save) return Usage("--save given twice");
      invocation.save = true;
      continue;
    }
    if (name == "device") {
      std::string_view text;
      if (inlineValue) {
        text = *inlineValue;
      } else if (i + 1 < arguments.size()) {
        text = arguments[++i];
      }
      if (invocation.device) return Usage("--device given twice");
      std::string error;
      invocation.device = hid::ParseDeviceChoice(text, error);
      if (!invocation.device) return Usage(error);
      continue;
    }
    if (name == "output") {
      std::string_view text;
      if (inlineValue) {
        text = *inlineValue;
      } else if (i + 1 < arguments.size()) {
        text = arguments[++i];
      }
      if (invocation.output) return Usage("--output given twice");
      if (text.empty()) return Usage("--output needs a file name");
      invocation.output = std::string(text);
      continue;
    }
    const auto setting = std::find_if(kSettingNames.begin(), kSettingNames.end(),
                                      [&](const SettingName& s) { return s.option == name; });
    if (setting == kSettingNames.end()) {
      return Usage("unknown option '" + std::string(argument) + "'");
    }
    const auto field = static_cast<std::size_t>(setting - kSettingNames.begin());
    std::string_view text;
    if (inlineValue) {
      text = *inlineValue;
    } else if (i + 1 < arguments.size()) {
      text = arguments[++i];
    } else {
      return Usage("--" + std::string(name) + " needs a value: " + ValidChoices(field));
    }
    if (invocation.values[field]) return Usage("--" + std::string(name) + " given twice");
    ParsedValue value = ParseSettingValue(field, text);
    if (!value.index) return Usage(value.error);
    invocation.values[field] = value.index;
  }

  if (!command) return Usage("no command given");
  invocation.kind = command->kind;
  if (jsonGiven && !command->takesJson) {
    return Usage("'" + std::string(command->name) + "' has no --json output");
  }
  invocation.json = jsonGiven;
  if (invocation.device && !command->takesDevice) {
    return Usage("--device belongs to 'status', 'write', 'watch' and 'report'");
  }
  if (invocation.output && command->kind != CommandKind::kReport) {
    return Usage("--output belongs to 'report'");
  }
  const bool anyValue = std::any_of(invocation.values.begin(), invocation.values.end(),
                                    [](const auto& value) { return value.has_value(); });
  if (command->kind == CommandKind::kWrite) {
    if (!anyValue && !invocation.save) {
      return Usage("'write' needs at least one value or --save");
    }
  } else if (anyValue || invocation.save) {
    return Usage("values and --save belong to 'write'");
  }
  return {invocation, {}};
}

}  // namespace trivexa::cli
