#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/device_command.h"
#include "cli/exit_codes.h"
#include "hid/system_hid_platform.h"
#include "host/text.h"
#include "host/version.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace trivexa::cli {
namespace {

constexpr std::uint32_t kBusyPollMs = 100;

// Whether the write that just failed found the reading end of its pipe
// closed. Windows' C runtime turns most such codes into EINVAL (a reader
// that is closing: ERROR_NO_DATA; one that is gone, as Wine says:
// ERROR_PIPE_NOT_CONNECTED), so the system's own code is asked.
bool ReaderGone(int writeErrno) {
#ifdef _WIN32
  const DWORD error = GetLastError();
  if (error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_BROKEN_PIPE) {
    return true;
  }
#endif
  return writeErrno == EPIPE;
}

// Claims the joystick for a device command, waiting up to kBusyWaitMs for
// another trivexactl that holds it; 0 once claimed (or when no lock can be
// made at all, which only loses the protection and is said once).
int ClaimJoystick(std::string_view command, Environment& environment) {
  if (!environment.claimJoystick) return kExitOk;
  const std::int64_t start = environment.clock.NowMs();
  for (;;) {
    const JoystickClaim claim = environment.claimJoystick(command);
    if (claim.result == JoystickClaim::kClaimed) return kExitOk;
    if (claim.result == JoystickClaim::kUnavailable) {
      environment.err << "trivexactl: no lock for the joystick (" << TerminalText(claim.detail)
                      << "); going on without it.\n";
      return kExitOk;
    }
    if (environment.StopRequested()) {
      environment.err << "trivexactl: interrupted.\n";
      return kExitInterrupted;
    }
    if (environment.clock.NowMs() - start >= kBusyWaitMs) {
      // The holder's words come from a file another process wrote.
      environment.err << "trivexactl: the joystick is busy: "
                      << (claim.detail.empty() ? std::string("another trivexactl")
                                               : TerminalText(claim.detail))
                      << " is using it; try again when it is done.\n";
      return kExitBusy;
    }
    environment.clock.Sleep(kBusyPollMs);
  }
}

// The joystick --device names into `chosen`; false, after saying which
// joysticks are there, when the number or path names none.
bool ResolveChoice(const Invocation& invocation, Environment& environment,
                   std::optional<NumberedJoystick>& chosen) {
  if (!invocation.device) return true;
  const std::vector<NumberedJoystick> present = hid::PresentJoysticks(environment.platform);
  if (const NumberedJoystick* found = hid::FindChoice(present, *invocation.device)) {
    chosen = *found;
    return true;
  }
  environment.err << "trivexactl: " << hid::NoSuchJoystick(*invocation.device, present) << "\n";
  return false;
}

using DeviceRunner = int (*)(const Invocation&, Environment&, JoystickTarget&);

// status, write and watch: one at a time, never beside the window, on the
// joystick the command line names.
int RunDeviceCommand(const Invocation& invocation, Environment& environment, DeviceRunner run) {
  std::optional<NumberedJoystick> chosen;
  if (const int refused =
          PrepareDeviceCommand(invocation, environment, RowOf(invocation.kind)->name, chosen)) {
    return refused;
  }
  JoystickTarget target(environment.platform, std::move(chosen));
  return run(invocation, environment, target);
}

int RunUdevRule(Environment& environment) {
  const std::string rule = hid::SystemAccessRule();
  if (rule.empty()) {
    environment.err << "trivexactl: udev rules exist on Linux only.\n";
    return kExitUsage;
  }
  environment.out << rule;
  return kExitOk;
}

}  // namespace

int PrepareDeviceCommand(const Invocation& invocation, Environment& environment,
                         std::string_view command, std::optional<NumberedJoystick>& chosen) {
  if (const int busy = ClaimJoystick(command, environment)) return busy;
  if (const int refused = RefuseWhileWindowRuns(environment)) return refused;
  if (!ResolveChoice(invocation, environment, chosen)) return kExitNotFound;
  return kExitOk;
}

int Run(const Invocation& invocation, Environment& environment) {
  // No default: -Wswitch names a kind added without its runner here.
  switch (invocation.kind) {
    case CommandKind::kHelp:
      environment.out << HelpText();
      return kExitOk;
    case CommandKind::kVersion:
      environment.out << "trivexactl " << ProgramVersion() << "\n";
      return kExitOk;
    case CommandKind::kList:
      return RunList(invocation, environment);
    case CommandKind::kStatus:
      return RunDeviceCommand(invocation, environment, RunStatus);
    case CommandKind::kWrite:
      return RunDeviceCommand(invocation, environment, RunWrite);
    case CommandKind::kWatch:
      return RunDeviceCommand(invocation, environment, RunWatch);
    case CommandKind::kReport:
      return RunReport(invocation, environment);
    case CommandKind::kUdevRule:
      return RunUdevRule(environment);
    case CommandKind::kCompletion:
      return RunCompletion(invocation, environment);
  }
  return kExitUsage;
}

int FinishOutput(int status, std::ostream& out, std::FILE* file, bool closedAtStart,
                 std::ostream& err, bool onlyText) {
  errno = 0;
#ifdef _WIN32
  SetLastError(0);
#endif
  out.flush();
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool readerGone = ReaderGone(flushError);
  std::string why;
  if (closedAtStart) {
    why = "it is closed";
  } else if (!flushed || std::ferror(file) != 0 || !out) {
    if (onlyText && readerGone) return status;
    why = flushError != 0 ? ErrnoText(flushError) : "write error";
  } else {
    return status;
  }
  err << "trivexactl: standard output: " << why << "; the output is lost.\n";
  return status == kExitOk ? kExitOutputFailed : status;
}

int RunCommandLine(std::span<const std::string_view> arguments, Environment& environment) {
  const ParsedArguments parsed = ParseArguments(arguments);
  if (!parsed.invocation) {
    // The arguments it quotes may hold anything a script passed on.
    environment.err << "trivexactl: " << TerminalLines(parsed.error) << "\n";
    return kExitUsage;
  }
  return Run(*parsed.invocation, environment);
}

}  // namespace trivexa::cli
