#include "cli/commands.h"
#include "cli/exit_codes.h"

#ifdef __linux__
#include <string>

#include "hid/linux/udev_access.h"
#endif

#ifndef TRIVEXA_VERSION
#define TRIVEXA_VERSION "unknown"
#endif

namespace trivexa::cli {

#ifdef __linux__
std::string UdevRule() {
  return "# Trivexa: lets the user at the seat open the joystick (USB 0079:0026).\n"
         "# Save as /etc/udev/rules.d/" +
         std::string(hid::kUdevRuleName) + ", then run:\n# " +
         std::string(hid::kUdevReloadCommand) + "\n" + std::string(hid::kUdevRule) + "\n";
}
#endif

int Run(const Invocation& invocation, Environment& environment) {
  switch (invocation.kind) {
    case CommandKind::kHelp:
      environment.out << HelpText();
      return kExitOk;
    case CommandKind::kVersion:
      environment.out << "trivexactl " << TRIVEXA_VERSION << "\n";
      return kExitOk;
    case CommandKind::kList:
      return RunList(invocation, environment);
    case CommandKind::kStatus:
      return RunStatus(invocation, environment);
    case CommandKind::kWrite:
      return RunWrite(invocation, environment);
    case CommandKind::kWatch:
      return RunWatch(invocation, environment);
    case CommandKind::kUdevRule:
#ifdef __linux__
      environment.out << UdevRule();
      return kExitOk;
#else
      environment.err << "trivexactl: udev rules exist on Linux only.\n";
      return kExitUsage;
#endif
  }
  return kExitUsage;
}

int RunCommandLine(std::span<const std::string_view> arguments, Environment& environment) {
  const ParsedArguments parsed = ParseArguments(arguments);
  if (!parsed.invocation) {
    environment.err << "trivexactl: " << parsed.error << "\n";
    return kExitUsage;
  }
  return Run(*parsed.invocation, environment);
}

}  // namespace trivexa::cli
