// trivexactl: the joystick from the command line.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"
#include "host/standard_streams.h"
#include "instance/instance_lock.h"
#include "settings/program_folder.h"
#include "settings/settings_place.h"

#ifdef _WIN32
#include <conio.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Set by the signal handler, read by the command loops between exchanges:
// the close command then goes out with its pauses on the main thread.
std::atomic<bool> stopSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int) { stopSignalled.store(true); }

void InstallStopHandlers() {
#ifdef _WIN32
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGBREAK, OnStopSignal);
#else
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A reader that goes away (`trivexactl watch | head -1`) must not kill the
  // program before the close command: the failed write ends the loop.
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

unsigned long CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

int Main(const std::vector<std::string>& texts, const trivexa::ClosedStreams& closed) {
  using namespace trivexa;
  const std::vector<std::string_view> arguments(texts.begin(), texts.end());
  InstallStopHandlers();
  [[maybe_unused]] const ConsoleText console;

  const std::unique_ptr<hid::HidPlatform> platform = hid::MakeSystemHidPlatform();
  SystemClock clock;
  cli::Environment environment{
      *platform,
      clock,
      std::cout,
      std::cerr,
      // When it cannot be told, the device will show whether another
      // program talks to it.
      [] { return instance::ProbeInstance() == instance::InstanceState::kRunning; },
      [] { return stopSignalled.load(); },
      // The same place as the window's: beside the program, or the user's
      // config folder for an installed copy.
      [] { return settings::SettingsFolder(); },
      hid::SystemAccessFix(settings::ExecutableFolder()),
  };
  // One device command at a time for this user; the window's lock is apart.
  instance::JoystickLock joystickLock;
  environment.claimJoystick = [&joystickLock](std::string_view command) {
    const std::string holder = "trivexactl " + std::string(command) + " (process " +
                               std::to_string(CurrentProcessId()) + ")";
    const instance::LockAttempt attempt = joystickLock.TryTake(holder);
    switch (attempt.outcome) {
      case instance::LockOutcome::kTaken:
        return cli::JoystickClaim{cli::JoystickClaim::kClaimed, {}};
      case instance::LockOutcome::kHeldByAnother:
        return cli::JoystickClaim{cli::JoystickClaim::kBusy, attempt.reason};
      case instance::LockOutcome::kUnavailable:
        break;
    }
    return cli::JoystickClaim{cli::JoystickClaim::kUnavailable, attempt.reason};
  };
  const int status = cli::RunCommandLine(arguments, environment);
  return cli::FinishOutput(status, std::cout, stdout, closed.output, std::cerr,
                           cli::AsksOnlyForText(arguments));
}

#ifdef _WIN32
// Whether the console is trivexactl's alone and it can read a key there:
// Windows made it for a start from Explorer (a double-click) and closes it
// as soon as the program ends. Started from cmd.exe or PowerShell, the
// shell shares it.
bool HasConsoleOfItsOwn() {
  DWORD processes[2];
  DWORD mode = 0;
  return GetConsoleProcessList(processes, 2) == 1 &&
         GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// A double-click gives no command: rather than a line that vanishes with
// its window, say what this is and keep the window until a key is pressed.
int ExplainAndWaitForAKey() {
  std::cout << "trivexactl is Trivexa's command-line tool: it is started from a console, with a\n"
               "command. Open PowerShell or cmd.exe in this folder (in Explorer, type powershell\n"
               "in the address bar and press Enter) and type\n"
               "\n"
               "    .\\trivexactl --help      (PowerShell)\n"
               "    trivexactl --help        (cmd.exe)\n"
               "\n"
               "The window that sets up the joystick is trivexa.exe.\n"
               "\n"
               "Press any key to close this window."
            << std::flush;
  _getch();
  std::cout << "\n";
  return trivexa::cli::kExitUsage;
}
#endif

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t* argv[]) {
  const trivexa::ClosedStreams closed = trivexa::OpenClosedStandardStreams();
  if (argc <= 1 && HasConsoleOfItsOwn()) {
    const trivexa::ConsoleText console;
    return ExplainAndWaitForAKey();
  }
  return Main(trivexa::Utf8Arguments(argc, argv), closed);
}
#else
int main(int argc, char* argv[]) {
  // Before anything is opened: a closed standard output must not become
  // the joystick's node.
  const trivexa::ClosedStreams closed = trivexa::OpenClosedStandardStreams();
  return Main(std::vector<std::string>(argv + 1, argv + argc), closed);
}
#endif
