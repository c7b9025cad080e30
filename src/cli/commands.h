#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/diagnosis.h"
#include "hid/hid_platform.h"
#include "host/clock.h"
#include "settings/settings_store.h"

namespace trivexa::cli {

// What claiming the joystick for one device command gave.
struct JoystickClaim {
  enum Result { kClaimed, kBusy, kUnavailable } result = kClaimed;
  // kBusy: who holds it, in that command's words; kUnavailable: why no lock
  // could be made.
  std::string detail;
};

// How long a device command waits for another trivexactl to finish with
// the joystick before it gives up with kExitBusy.
inline constexpr std::int64_t kBusyWaitMs = 3000;

// Everything a command reaches outside itself; main() gives the real ones,
// tests give fakes.
struct Environment {
  hid::HidPlatform& platform;
  Clock& clock;
  std::ostream& out;
  std::ostream& err;
  // True while the window's single-instance lock is held.
  std::function<bool()> windowRunning;
  // True once Ctrl+C or SIGTERM arrived (or standard output went away).
  std::function<bool()> stopRequested;
  // The folder of JOYSTICK.INI: the one the window uses.
  settings::ProgramFolder settingsFolder;
  // What the user can do when the system refuses access to the joystick.
  hid::AccessFix accessFix;
  // Tries once to claim the joystick for the device command named; the
  // claim lasts until the program ends. Empty: nothing to claim.
  std::function<JoystickClaim(std::string_view command)> claimJoystick = {};

  bool StopRequested() const { return stopRequested && stopRequested(); }
};

// Runs one command and gives its exit status.
int Run(const Invocation& invocation, Environment& environment);
// Parses `arguments` (without the program name) and runs the command; a
// usage error goes to the error stream with exit status 2.
int RunCommandLine(std::span<const std::string_view> arguments, Environment& environment);

// Flushes standard output (`out` and the C stream under it) and checks that
// everything printed reached it: when not, or when standard output was
// closed at start, one line goes to `err` and a successful `status` becomes
// kExitOutputFailed. A failed status stays as it is. With `onlyText` (the
// help or the version, which AsksOnlyForText tells) a reader that went away
// early, as `trivexactl --help | head -3` does, took all it wanted: that is
// no failure and says nothing.
int FinishOutput(int status, std::ostream& out, std::FILE* file, bool closedAtStart,
                 std::ostream& err, bool onlyText = false);

int RunList(const Invocation& invocation, Environment& environment);
// The device commands, on the joystick `target` leads to; the window is not
// running and the joystick is claimed when they start.
int RunStatus(const Invocation& invocation, Environment& environment, JoystickTarget& target);
int RunWrite(const Invocation& invocation, Environment& environment, JoystickTarget& target);
int RunWatch(const Invocation& invocation, Environment& environment, JoystickTarget& target);
// The problem report: written whole whatever the joystick does, with the
// exit status the device part would give.
int RunReport(const Invocation& invocation, Environment& environment);
// The completion script of the shell the operand names.
int RunCompletion(const Invocation& invocation, Environment& environment);

}  // namespace trivexa::cli
