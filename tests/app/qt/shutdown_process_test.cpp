// The real program under the virtual joystick: what the device hears when
// the program is ended by a signal or loses its display.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "vjoy/harness.h"
#include "x_server.h"

namespace trivexa::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vjoy::testing::LogEntry;
using vjoy::testing::Only;
using vjoy::testing::VjoyRun;

constexpr char kJoystick[] =
    "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware delay=2\n";

int Commands(const std::vector<LogEntry>& log, std::uint8_t code) {
  int count = 0;
  for (const LogEntry& write : Only(log, "write")) {
    if (!write.Failed() && write.Command() == code) ++count;
  }
  return count;
}

bool Polled(const std::vector<LogEntry>& log) { return Commands(log, 0x6A) > 0; }

// A copy of the program in a folder of its own, which is also its runtime
// folder: its own lock and its own settings file.
class Program {
 public:
  using Environment = std::vector<std::pair<std::string, std::string>>;
  explicit Program(Environment environment) {
    const fs::path executable = folder_.path() / "trivexa";
    fs::copy_file(TRIVEXA_EXECUTABLE, executable);
    environment.emplace_back("XDG_RUNTIME_DIR", folder_.path().string());
    environment.emplace_back("XDG_CONFIG_HOME", folder_.path().string());
    run_ = std::make_unique<VjoyRun>(std::vector<std::string>{executable.string()}, kJoystick,
                                     vjoy::testing::RunOptions{environment, {}});
  }
  VjoyRun& Run() { return *run_; }

 private:
  fakes::TempDir folder_;
  std::unique_ptr<VjoyRun> run_;
};

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, ActsAsTheCloseBox) {
  Program program(Program::Environment{{"QT_QPA_PLATFORM", "offscreen"}});
  VjoyRun& run = program.Run();
  ASSERT_TRUE(run.WaitForLog(Polled, 20s)) << run.Output();

  run.Signal(GetParam());
  EXPECT_EQ(run.Wait(20s), 0) << run.Output();
  const std::vector<LogEntry> log = run.Log();
  EXPECT_EQ(Commands(log, 0xAA), 1);
  // Both handles are released after the close command.
  const std::vector<LogEntry> writes = Only(log, "write");
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back().Command(), 0xAA);
  int closesAfter = 0;
  for (const LogEntry& close : Only(log, "close", "hidraw0")) {
    if (close.ms > writes.back().ms) ++closesAfter;
  }
  EXPECT_EQ(closesAfter, 2);
}

INSTANTIATE_TEST_SUITE_P(LogOutCtrlCHangUp, StopSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                           return std::string(sigabbrev_np(signal.param));
                         });

// Qt ends the process itself, with status 1, when the X server or the
// Wayland compositor goes.
template <typename Server>
void LoseTheDisplay(Server& server, const char* platform, const char* variable) {
  if (!server.Display()) GTEST_SKIP() << "no " << platform << " server";
  Program program(
      Program::Environment{{"QT_QPA_PLATFORM", platform}, {variable, *server.Display()}});
  VjoyRun& run = program.Run();
  ASSERT_TRUE(run.WaitForLog(Polled, 20s)) << run.Output();
  server.Kill();
  EXPECT_EQ(run.Wait(20s), 1) << run.Output();
  EXPECT_EQ(Commands(run.Log(), 0xAA), 1);
}

TEST(LostDisplay, TheDeviceStillHearsTheCloseCommand) {
  testing::XServer x11;
  LoseTheDisplay(x11, "xcb", "DISPLAY");
  fakes::TempDir runtime;
  testing::WaylandServer wayland(runtime.path().string());
  LoseTheDisplay(wayland, "wayland", "WAYLAND_DISPLAY");
}

}  // namespace
}  // namespace trivexa::app
