#include "cli/commands.h"
#include "cli/exit_codes.h"

#ifndef TRIVEXA_VERSION
#define TRIVEXA_VERSION "unknown"
#endif

namespace trivexa::cli {

std::string_view UdevRule() {
  return "# Trivexa joystick (USB 0079:0026): the logged-in user may open its hidraw node.\n"
         "SUBSYSTEM==\"hidraw\", ACTION!=\"remove\", ATTRS{idVendor}==\"0079\", "
         "ATTRS{idProduct}==\"0026\", TAG+=\"uaccess\"\n";
}

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
#ifdef _WIN32
      environment.err << "trivexactl: udev rules exist on Linux only.\n";
      return kExitUsage;
#else
      environment.out << UdevRule();
      return kExitOk;
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
