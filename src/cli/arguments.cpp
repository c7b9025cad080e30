#include "cli/arguments.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_table.h"
#include "cli/setting_values.h"

namespace trivexa::cli {
namespace {

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

std::vector<std::string_view> Operands(const CommandRow& command) {
  std::vector<std::string_view> words;
  for (std::string_view rest = command.operands; !rest.empty();) {
    const std::size_t space = rest.find(' ');
    words.push_back(rest.substr(0, space));
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
  }
  return words;
}

bool IsOperand(const CommandRow& command, std::string_view word) {
  const std::vector<std::string_view> words = Operands(command);
  return std::find(words.begin(), words.end(), word) != words.end();
}

// "bash, zsh or fish".
std::string OperandChoices(const CommandRow& command) {
  const std::vector<std::string_view> words = Operands(command);
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
    text += words[i];
  }
  return text;
}

// Stores the option `id` given with `text` (empty for a switch); the usage
// error when the value is refused.
std::optional<std::string> Take(OptionId id, std::string_view text, Invocation& invocation) {
  switch (id) {
    case OptionId::kJson:
      invocation.json = true;
      return std::nullopt;
    case OptionId::kSave:
      invocation.save = true;
      return std::nullopt;
    case OptionId::kDeadZone:
    case OptionId::kAngleOffset:
    case OptionId::kThreshold:
    case OptionId::kInterval: {
      ParsedValue value = ParseSettingValue(FieldOf(id), text);
      if (!value.index) return value.error;
      invocation.values[FieldOf(id)] = value.index;
      return std::nullopt;
    }
    case OptionId::kDevice: {
      std::string error;
      invocation.device = hid::ParseDeviceChoice(text, error);
      if (!invocation.device) return error;
      return std::nullopt;
    }
    case OptionId::kOutput:
      if (text.empty()) return "--output needs a file name";
      invocation.output = std::string(text);
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

bool AsksOnlyForText(std::span<const std::string_view> arguments) {
  const std::optional<Invocation> invocation = ParseArguments(arguments).invocation;
  return invocation &&
         (invocation->kind == CommandKind::kHelp || invocation->kind == CommandKind::kVersion);
}

ParsedArguments ParseArguments(std::span<const std::string_view> arguments) {
  Invocation invocation;
  const CommandRow* command = nullptr;
  OptionSet given = 0;

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
      if (command && !command->operands.empty() && invocation.operand.empty()) {
        if (!IsOperand(*command, argument)) {
          return Usage("'" + std::string(command->name) + "' takes " + OperandChoices(*command) +
                       ", not '" + std::string(argument) + "'");
        }
        invocation.operand = std::string(argument);
        continue;
      }
      if (command) return Usage("unexpected argument '" + std::string(argument) + "'");
      const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                      [&](const CommandRow& c) { return c.name == argument; });
      if (found == kCommands.end()) return Usage("unknown command '" + std::string(argument) + "'");
      command = &*found;
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
    const auto option = std::find_if(kOptions.begin(), kOptions.end(),
                                     [&](const OptionRow& o) { return o.name == name; });
    if (option == kOptions.end()) return Usage("unknown option '" + std::string(argument) + "'");
    const std::string dashed = "--" + std::string(name);
    if (option->value == ValueKind::kNone && inlineValue) return Usage(dashed + " takes no value");
    if ((given & Bit(option->id)) != 0) return Usage(dashed + " given twice");
    given |= Bit(option->id);

    std::string_view text;
    if (inlineValue) {
      text = *inlineValue;
    } else if (option->value != ValueKind::kNone && i + 1 < arguments.size()) {
      text = arguments[++i];
    } else if (option->value == ValueKind::kSetting) {
      return Usage(dashed + " needs a value: " + ValidChoices(FieldOf(option->id)));
    }
    if (const std::optional<std::string> error = Take(option->id, text, invocation)) {
      return Usage(*error);
    }
  }

  if (!command) return Usage("no command given");
  invocation.kind = command->kind;
  for (const OptionRow& option : kOptions) {
    if ((given & Bit(option.id)) != 0 && !Takes(*command, option.id)) {
      return Usage("--" + std::string(option.name) + " belongs to " + CommandsTaking(option.id));
    }
  }
  if (!command->operands.empty() && invocation.operand.empty()) {
    return Usage("'" + std::string(command->name) + "' needs " + OperandChoices(*command));
  }
  if (command->kind == CommandKind::kWrite &&
      (given & (kSettingOptions | Bit(OptionId::kSave))) == 0) {
    return Usage("'write' needs at least one value or --save");
  }
  return {invocation, {}};
}

}  // namespace trivexa::cli
