// The real program on a real X server: a click made while the poll timer's
// search for the joystick runs is handled when that search ends, before the
// search that the timer has meanwhile made due.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
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

// Forty interfaces and no joystick: every search takes four seconds, four
// times the timer's interval.
constexpr int kInterfaces = 40;

std::string Scenario() {
  std::string scenario;
  for (int i = 0; i < kInterfaces; ++i) {
    scenario += "hidraw " + std::to_string(i) + " vendor=0x046d product=0xc0" +
                std::to_string(10 + i) + " name=\"Mouse\"\n";
  }
  return scenario;
}

// Runs xdotool on `display`; its exit status.
int Xdotool(const std::string& display, std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = {"DISPLAY=" + display};
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<double> SearchStarts(const std::vector<LogEntry>& log) {
  std::vector<double> starts;
  for (const LogEntry& open : Only(log, "open", "hidraw0")) starts.push_back(open.ms);
  return starts;
}

double LastTime(const std::vector<LogEntry>& log) {
  double last = 0;
  for (const LogEntry& entry : log) last = std::max(last, entry.ms);
  return last;
}

TEST(InputDuringALongSearch, ExitIsHandledWhenTheSearchEndsBeforeAnotherBegins) {
  testing::XServer server;
  if (!server.Display()) GTEST_SKIP() << "no Xvfb";
  fakes::TempDir folder;
  const fs::path executable = folder.path() / "trivexa";
  fs::copy_file(TRIVEXA_EXECUTABLE, executable);
  VjoyRun run({executable.string()}, Scenario(),
              {{{"QT_QPA_PLATFORM", "xcb"},
                {"DISPLAY", *server.Display()},
                {"XDG_RUNTIME_DIR", folder.path().string()},
                {"XDG_CONFIG_HOME", folder.path().string()}},
               {}});

  // The window is found first, so that the click below costs only the
  // click, not the wait for the window to be mapped.
  ASSERT_EQ(Xdotool(*server.Display(), {"search", "--sync", "--name", "^Trivexa$"}), 0);
  // Well inside the first search: its second interface is being probed.
  ASSERT_TRUE(
      run.WaitForLog([](const auto& log) { return !Only(log, "open", "hidraw1").empty(); }, 20s))
      << run.Output();
  // EXIT's centre: (6120 + 1590/2, 2160 + 525/2) twips at 96 dpi.
  ASSERT_EQ(Xdotool(*server.Display(), {"search", "--sync", "--name", "^Trivexa$", "mousemove",
                                        "--window", "%1", "461", "161", "click", "1"}),
            0);
  const std::vector<LogEntry> atClick = run.Log();
  const auto clickedBy = LastTime(atClick);

  ASSERT_EQ(run.Wait(30s), 0) << run.Output();
  const std::vector<LogEntry> log = run.Log();
  const std::vector<double> starts = SearchStarts(log);
  ASSERT_FALSE(starts.empty());
  // The click must have reached the window while the first search ran.
  const std::vector<LogEntry> lastProbes =
      Only(log, "close", "hidraw" + std::to_string(kInterfaces - 1));
  // A click that came too late proves nothing: that is a failure, not a pass.
  ASSERT_FALSE(lastProbes.empty()) << run.Output();
  ASSERT_GT(lastProbes.front().ms, clickedBy)
      << "the click came after the first search had ended; nothing was tested";
  EXPECT_EQ(starts.size(), 1u) << "a search began after the click";
}

}  // namespace
}  // namespace trivexa::app
