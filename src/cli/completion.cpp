// The shell completions, made from the command table, so that a command or
// an option added there is completed by every shell without more work.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace trivexa::cli {
namespace {

constexpr std::string_view kHeader =
    " completion for trivexactl, made by `trivexactl completion` from its\n"
    "# command table: commands, the options of each, and the choices of each value.\n";

// The joysticks present, each by number and by path, as `list` shows them:
// the same sed for bash and zsh.
constexpr std::string_view kJoystickSed =
    R"sh(sed -n 's/^\([^ ]*\) .*  <- joystick \([0-9]*\).*/\2 \1/p')sh";

std::string Joined(const std::vector<std::string>& words, std::string_view separator) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : std::string(separator)) + word;
  return text;
}

// Single quotes for sh and zsh: a quote inside ends, escapes and reopens.
std::string ShQuoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string(R"sh('\'')sh") : std::string(1, c);
  return quoted + "'";
}

// fish's single quotes escape only the quote and the backslash.
std::string FishQuoted(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::string Dashed(const OptionRow& option) { return "--" + std::string(option.name); }

std::string Choices(const OptionRow& option) {
  std::vector<std::string> words;
  for (std::string_view choice : ChoiceTexts(FieldOf(option.id))) words.emplace_back(choice);
  return Joined(words, " ");
}

std::vector<std::string> CommandNames() {
  std::vector<std::string> names;
  for (const CommandRow& command : kCommands) names.emplace_back(command.name);
  return names;
}

// What may follow a command: its options, then its operands.
std::vector<std::string> WordsOf(const CommandRow& command) {
  std::vector<std::string> words;
  for (const OptionRow& option : kOptions) {
    if (Takes(command, option.id)) words.push_back(Dashed(option));
  }
  if (!command.operands.empty()) words.emplace_back(command.operands);
  return words;
}

std::string BashScript() {
  std::string script = "# bash" + std::string(kHeader);
  script += "\n_trivexactl_joysticks() {\n  \"$1\" list 2>/dev/null | " +
            std::string(kJoystickSed) + "\n}\n";
  std::vector<std::string> valued = {"="};
  for (const OptionRow& option : kOptions) {
    if (option.value != ValueKind::kNone) valued.push_back(Dashed(option));
  }
  script += R"sh(
_trivexactl() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local IFS=$' \t\n'
  COMPREPLY=()

  # The command is the first word that is neither an option nor a value.
  local command= i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i - 1]} in )sh" +
            Joined(valued, " | ") + R"sh() continue ;; esac
    [[ ${COMP_WORDS[i]} != -* ]] && command=${COMP_WORDS[i]} && break
  done

  # --interval=2<Tab>: bash splits the word at the equals sign; where it
  # does not, the value follows the option in the same word.
  [[ $prev == "=" ]] && ((COMP_CWORD > 1)) && prev=${COMP_WORDS[COMP_CWORD - 2]}
  local option=$prev prefix= value=$cur
  [[ $cur == --*=* ]] && option=${cur%%=*} prefix=${cur%%=*}= value=${cur#*=}
  case $option in
)sh";
  for (const OptionRow& option : kOptions) {
    std::string reply;
    switch (option.value) {
      case ValueKind::kNone:
        continue;
      case ValueKind::kSetting:
        reply = "compgen -P \"$prefix\" -W \"" + Choices(option) + "\" -- \"$value\"";
        break;
      case ValueKind::kJoystick:
        reply =
            "compgen -P \"$prefix\" -W \"$(_trivexactl_joysticks \"${COMP_WORDS[0]}\")\" -- "
            "\"$value\"";
        break;
      case ValueKind::kFile:
        reply = "compgen -P \"$prefix\" -f -- \"$value\"";
        break;
    }
    script += "    " + Dashed(option) + ")\n      COMPREPLY=($(" + reply + "))\n      return\n";
    script += "      ;;\n";
  }
  script += R"sh(  esac

  local words=
  case $command in
    "")
      # Options only once a dash is typed, as zsh and fish offer them.
      words=")sh" +
            Joined(CommandNames(), " ") +
            R"sh("
      [[ $cur == -* ]] && words="--help --version"
      ;;
)sh";
  for (const CommandRow& command : kCommands) {
    script += "    " + std::string(command.name) + ") words=\"" + Joined(WordsOf(command), " ") +
              "\" ;;\n";
  }
  script += R"sh(  esac
  COMPREPLY=($(compgen -W "$words" -- "$cur"))
}

complete -F _trivexactl trivexactl
)sh";
  return script;
}

std::string ZshSpec(const OptionRow& option) {
  const std::string head = Dashed(option) + "=[" + std::string(option.summary) + "]:";
  switch (option.value) {
    case ValueKind::kNone:
      return Dashed(option) + "[" + std::string(option.summary) + "]";
    case ValueKind::kSetting:
      return head + std::string(option.summary) + ":(" + Choices(option) + ")";
    case ValueKind::kJoystick:
      return head + "joystick:_trivexactl_joysticks";
    case ValueKind::kFile:
      return head + "file:_files";
  }
  return {};
}

std::string ZshScript() {
  std::string script = "#compdef trivexactl\n# zsh" + std::string(kHeader);
  script += "\nlocal curcontext=$curcontext state line ret=1\nlocal -a commands\ncommands=(\n";
  for (const CommandRow& command : kCommands) {
    script +=
        "  " + ShQuoted(std::string(command.name) + ":" + std::string(command.summary)) + "\n";
  }
  script += R"sh()

_trivexactl_joysticks() {
  local -a joysticks
  joysticks=(${=${(f)"$(_call_program joysticks $service list 2>/dev/null |
    )sh" + std::string(kJoystickSed) +
            R"sh()"}})
  compadd -a joysticks
}

_arguments -C \
  '(- *)'{-h,--help}'[print the help text]' \
  "(- *)--version[print the program's version]" \
  '1:command:->command' \
  '*::option:->option' && ret=0

case $state in
  command) _describe -t commands 'trivexactl command' commands && ret=0 ;;
  option)
    # --opt= takes its value after an equals sign or as the next word.
    case $words[1] in
)sh";
  for (const CommandRow& command : kCommands) {
    std::vector<std::string> specs;
    for (const OptionRow& option : kOptions) {
      if (Takes(command, option.id)) specs.push_back(ShQuoted(ZshSpec(option)));
    }
    if (!command.operands.empty()) {
      specs.push_back(
          ShQuoted("1:" + std::string(command.name) + ":(" + std::string(command.operands) + ")"));
    }
    if (specs.empty()) continue;
    script += "      " + std::string(command.name) + ") _arguments " +
              Joined(specs, " \\\n        ") + " && ret=0 ;;\n";
  }
  script += R"sh(    esac
    ;;
esac
return ret
)sh";
  return script;
}

std::string FishScript() {
  std::string script = "# fish" + std::string(kHeader);
  script += "\nset -l commands " + Joined(CommandNames(), " ") +
            "\nset -l no_command \"not __fish_seen_subcommand_from $commands\"\n\n"
            "complete -c trivexactl -f\n";
  for (const CommandRow& command : kCommands) {
    script += "complete -c trivexactl -n $no_command -a " + std::string(command.name) + " -d " +
              FishQuoted(command.summary) + "\n";
  }
  script += R"sh(complete -c trivexactl -n $no_command -s h -l help -d 'print the help text'
complete -c trivexactl -n $no_command -l version -d 'print the program\'s version'

function __trivexactl_joysticks
    trivexactl list 2>/dev/null | string replace -rf '^(\S+) .*  <- joystick (\d+).*' '$2\t$1'
    trivexactl list 2>/dev/null | string replace -rf '^(\S+) .*  <- joystick (\d+).*' '$1\tjoystick $2'
end

)sh";
  for (const OptionRow& option : kOptions) {
    std::vector<std::string> takers;
    for (const CommandRow& command : kCommands) {
      if (Takes(command, option.id)) takers.emplace_back(command.name);
    }
    if (takers.empty()) continue;
    script += "complete -c trivexactl -n " +
              FishQuoted("__fish_seen_subcommand_from " + Joined(takers, " ")) + " -l " +
              std::string(option.name);
    switch (option.value) {
      case ValueKind::kNone:
        break;
      case ValueKind::kSetting:
        script += " -x -a " + FishQuoted(Choices(option));
        break;
      case ValueKind::kJoystick:
        script += " -x -a '(__trivexactl_joysticks)'";
        break;
      case ValueKind::kFile:
        script += " -r -F";
        break;
    }
    script += " -d " + FishQuoted(option.summary) + "\n";
  }
  for (const CommandRow& command : kCommands) {
    if (command.operands.empty()) continue;
    script += "complete -c trivexactl -n " +
              FishQuoted("__fish_seen_subcommand_from " + std::string(command.name)) + " -a " +
              FishQuoted(command.operands) + "\n";
  }
  return script;
}

}  // namespace

std::string CompletionScript(Shell shell) {
  switch (shell) {
    case Shell::kBash:
      return BashScript();
    case Shell::kZsh:
      return ZshScript();
    case Shell::kFish:
      return FishScript();
  }
  return {};
}

int RunCompletion(const Invocation& invocation, Environment& environment) {
  static constexpr std::pair<std::string_view, Shell> kShells[] = {
      {"bash", Shell::kBash}, {"zsh", Shell::kZsh}, {"fish", Shell::kFish}};
  for (const auto& [name, shell] : kShells) {
    if (invocation.operand == name) {
      environment.out << CompletionScript(shell);
      return kExitOk;
    }
  }
  environment.err << "trivexactl: no completion for '" << invocation.operand << "'.\n";
  return kExitUsage;
}

}  // namespace trivexa::cli
