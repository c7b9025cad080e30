// trivexactl: the joystick from the command line.

#include <atomic>
#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "common/clock.h"
#include "hid/system_hid_platform.h"
#include "settings/program_folder.h"

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

}  // namespace

int main(int argc, char* argv[]) {
  using namespace trivexa;
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  InstallStopHandlers();

  const std::unique_ptr<hid::HidPlatform> platform = hid::MakeSystemHidPlatform();
  SystemClock clock;
  cli::Environment environment{
      *platform,
      clock,
      std::cout,
      std::cerr,
      /*windowRunning=*/{},
      [] { return stopSignalled.load(); },
      settings::ExecutableFolder,
      /*diagnose=*/{},
      /*openFailureReason=*/{},
  };
  return cli::RunCommandLine(arguments, environment);
}
