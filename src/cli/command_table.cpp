#include "cli/command_table.h"

#include <algorithm>

namespace trivexa::cli {
namespace {

// Where --help's descriptions start: after the commands and the common
// options, and after the options under a command.
constexpr std::size_t kTextColumn = 23;
constexpr std::size_t kOptionTextColumn = 25;
constexpr std::size_t kLineWidth = 79;

constexpr std::string_view kHelpStart = R"(Usage: trivexactl COMMAND [OPTIONS]

Sets up the USB joystick 0079:0026 from the command line.

Commands:
)";

// After a command's settings: how a value is written.
constexpr std::string_view kValueNote =
    "V is a text of the window's list, or its index in the\n"
    "list written iN (i0, i5), the same in cmd, PowerShell\n"
    "and sh; \"3\" is a text, i3 an index";

constexpr std::string_view kHelpEnd = R"(  -h, --help           this text
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

// `left`, then `lines` from `column` on: on the same line when `left`
// leaves room, each further line indented to the column.
void AddColumns(std::string& text, std::string_view left, std::size_t column,
                std::string_view lines) {
  text += left;
  if (left.size() + 2 > column) {
    text += '\n';
    text.append(column, ' ');
  } else {
    text.append(column - left.size(), ' ');
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = lines.find('\n', start);
    text += lines.substr(start, end - start);
    text += '\n';
    if (end == std::string_view::npos) break;
    text.append(column, ' ');
    start = end + 1;
  }
}

std::size_t TakerCount(OptionId option) {
  return static_cast<std::size_t>(std::count_if(
      kCommands.begin(), kCommands.end(), [&](const CommandRow& c) { return Takes(c, option); }));
}

std::string OptionWithValue(const OptionRow& option) {
  std::string text = "--";
  text += option.name;
  if (!option.valueName.empty()) {
    text += ' ';
    text += option.valueName;
  }
  return text;
}

std::string UsageOf(const CommandRow& command) {
  std::string usage(command.name);
  if (!command.operands.empty()) {
    std::string operands(command.operands);
    std::replace(operands.begin(), operands.end(), ' ', '|');
    usage += " " + operands;
  }
  bool settingsShown = false;
  for (const OptionRow& option : kOptions) {
    if (!Takes(command, option.id)) continue;
    if (option.value == ValueKind::kSetting) {
      if (!settingsShown) usage += " [VALUES]";
      settingsShown = true;
      continue;
    }
    usage += " [" + OptionWithValue(option) + "]";
  }
  return usage;
}

// A setting's choices as --help lists them, shortened to fit the line.
std::string ChoicesLine(OptionId setting) {
  const std::vector<std::string_view> choices = ChoiceTexts(FieldOf(setting));
  std::string line;
  for (std::string_view choice : choices) {
    if (!line.empty()) line += ' ';
    line += choice;
  }
  if (kOptionTextColumn + line.size() <= kLineWidth || choices.size() < 4) return line;
  return std::string(choices[0]) + " " + std::string(choices[1]) + " ... " +
         std::string(choices.back());
}

}  // namespace

const OptionRow& RowOf(OptionId id) {
  return *std::find_if(kOptions.begin(), kOptions.end(),
                       [&](const OptionRow& row) { return row.id == id; });
}

const CommandRow* RowOf(CommandKind kind) {
  const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                  [&](const CommandRow& row) { return row.kind == kind; });
  return found == kCommands.end() ? nullptr : &*found;
}

std::string CommandsTaking(OptionId option) {
  std::vector<std::string_view> names;
  for (const CommandRow& command : kCommands) {
    if (Takes(command, option)) names.push_back(command.name);
  }
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += '\'';
    text += names[i];
    text += '\'';
  }
  return text;
}

std::string HelpText() {
  std::string text(kHelpStart);
  for (const CommandRow& command : kCommands) {
    if (command.help.empty()) continue;
    AddColumns(text, "  " + UsageOf(command), kTextColumn, command.help);
    // The options this command alone takes are told under it, and after
    // its settings how a value is written.
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
      const OptionRow& option = kOptions[i];
      if (!Takes(command, option.id) || TakerCount(option.id) != 1) continue;
      if (option.value == ValueKind::kSetting) {
        AddColumns(text, "      " + OptionWithValue(option), kOptionTextColumn,
                   ChoicesLine(option.id));
        if (i + 1 == kOptions.size() || kOptions[i + 1].value != ValueKind::kSetting) {
          AddColumns(text, "", kTextColumn, kValueNote);
        }
      } else if (!option.help.empty()) {
        AddColumns(text, "      " + OptionWithValue(option), kOptionTextColumn, option.help);
      }
    }
  }
  text += '\n';
  for (const OptionRow& option : kOptions) {
    if (TakerCount(option.id) > 1 && !option.help.empty()) {
      AddColumns(text, "  " + OptionWithValue(option), kTextColumn, option.help);
    }
  }
  text += kHelpEnd;
  return text;
}

}  // namespace trivexa::cli
