#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "common/clock.h"
#include "hid/hid_platform.h"
#include "settings/settings_store.h"

namespace trivexa::cli {

// Why the joystick is present but could not be opened, and what to do.
struct OpenProblem {
  std::string path;
  std::string reason;
  std::string fix;
};

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
  // After a scan without the joystick: the joystick's interface when it is
  // present but cannot be opened.
  std::function<std::optional<OpenProblem>(hid::HidPlatform&)> diagnose;
  // The operating system's reason why `path` cannot be opened.
  std::function<std::string(const std::string& path)> openFailureReason;
};

// Runs one command and gives its exit status.
int Run(const Invocation& invocation, Environment& environment);
// Parses `arguments` (without the program name) and runs the command; a
// usage error goes to the error stream with exit status 2.
int RunCommandLine(std::span<const std::string_view> arguments, Environment& environment);

int RunList(const Invocation& invocation, Environment& environment);
int RunStatus(const Invocation& invocation, Environment& environment);
int RunWrite(const Invocation& invocation, Environment& environment);
int RunWatch(const Invocation& invocation, Environment& environment);

// The udev rule `udev-rule` prints.
std::string_view UdevRule();

}  // namespace trivexa::cli
