#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "hid/system_hid_platform.h"
#include "host/text.h"

#ifndef TRIVEXA_VERSION
#define TRIVEXA_VERSION "unknown"
#endif

namespace trivexa::cli {
namespace {

constexpr std::uint32_t kBusyPollMs = 100;

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
      environment.err << "trivexactl: no lock for the joystick (" << claim.detail
                      << "); going on without it.\n";
      return kExitOk;
    }
    if (environment.StopRequested()) {
      environment.err << "trivexactl: interrupted.\n";
      return kExitInterrupted;
    }
    if (environment.clock.NowMs() - start >= kBusyWaitMs) {
      environment.err << "trivexactl: the joystick is busy: "
                      << (claim.detail.empty() ? std::string("another trivexactl") : claim.detail)
                      << " is using it; try again when it is done.\n";
      return kExitBusy;
    }
    environment.clock.Sleep(kBusyPollMs);
  }
}

}  // namespace

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
      if (const int busy = ClaimJoystick("status", environment)) return busy;
      return RunStatus(invocation, environment);
    case CommandKind::kWrite:
      if (const int busy = ClaimJoystick("write", environment)) return busy;
      return RunWrite(invocation, environment);
    case CommandKind::kWatch:
      if (const int busy = ClaimJoystick("watch", environment)) return busy;
      return RunWatch(invocation, environment);
    case CommandKind::kUdevRule: {
      const std::string rule = hid::SystemAccessRule();
      if (rule.empty()) {
        environment.err << "trivexactl: udev rules exist on Linux only.\n";
        return kExitUsage;
      }
      environment.out << rule;
      return kExitOk;
    }
  }
  return kExitUsage;
}

int FinishOutput(int status, std::ostream& out, std::FILE* file, bool closedAtStart,
                 std::ostream& err) {
  errno = 0;
  out.flush();
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  std::string why;
  if (closedAtStart) {
    why = "it is closed";
  } else if (!flushed || std::ferror(file) != 0 || !out) {
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
    environment.err << "trivexactl: " << parsed.error << "\n";
    return kExitUsage;
  }
  return Run(*parsed.invocation, environment);
}

}  // namespace trivexa::cli
