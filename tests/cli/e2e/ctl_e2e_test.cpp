// The shipped trivexactl under the virtual joystick: real hidraw calls, real
// pauses, real signals. Times are not asserted; order and counts are.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/instance/instance_lock.h"
#include "vjoy/harness.h"

namespace trivexa::cli {
namespace {

using namespace std::chrono_literals;
using vjoy::testing::LogEntry;
using vjoy::testing::Only;
using vjoy::testing::RunOptions;
using vjoy::testing::VjoyRun;

constexpr std::uint8_t kWriteConfig = 0x3A;
constexpr std::uint8_t kPosition = 0x6A;
constexpr std::uint8_t kClose = 0xAA;

const char* const kJoystick =
    "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
    "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n";

// trivexactl copied into a folder of its own: JOYSTICK.INI goes beside it,
// and the window's lock is looked for there too.
class CtlCopy {
 public:
  CtlCopy() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "trivexactl-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = pattern;
    std::filesystem::copy_file(TRIVEXACTL_EXECUTABLE, folder_ / "trivexactl");
  }
  ~CtlCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  CtlCopy(const CtlCopy&) = delete;
  CtlCopy& operator=(const CtlCopy&) = delete;

  std::vector<std::string> Command(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), (folder_ / "trivexactl").string());
    return arguments;
  }
  RunOptions Options() const { return {{{"XDG_RUNTIME_DIR", folder_.string()}}, {}}; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
};

std::vector<LogEntry> Writes(const std::vector<LogEntry>& log, std::uint8_t command) {
  std::vector<LogEntry> writes;
  for (const LogEntry& entry : Only(log, "write")) {
    if (!entry.Failed() && entry.Command() == command) writes.push_back(entry);
  }
  return writes;
}

std::string Dump(const std::vector<LogEntry>& log) {
  std::string text;
  for (const LogEntry& entry : log) text += entry.line.substr(0, 110) + "\n";
  return text;
}

// Every descriptor opened on a node was closed again.
void ExpectAllClosed(const std::vector<LogEntry>& log) {
  std::size_t opened = 0;
  for (const LogEntry& open : Only(log, "open")) {
    if (!open.Failed()) ++opened;
  }
  EXPECT_EQ(Only(log, "close").size(), opened) << Dump(log);
}

TEST(CtlE2eTest, StatusPrintsTheDevicesLinesAndClosesTheLink) {
  CtlCopy ctl;
  VjoyRun run(ctl.Command({"status"}), kJoystick, ctl.Options());
  ASSERT_EQ(run.Wait(30s), 0) << run.Output();
  EXPECT_EQ(run.Output(),
            "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n"
            " x=-300,y= 25\n");
  const auto log = run.Log();
  ASSERT_EQ(Writes(log, kClose).size(), 1u) << Dump(log);
  // The close command is the last thing written, and both nodes go after it.
  EXPECT_EQ(Only(log, "write").back().Command(), kClose);
  ExpectAllClosed(log);
}

TEST(CtlE2eTest, WriteReadsBackAndSavesBesideTheProgram) {
  CtlCopy ctl;
  VjoyRun run(ctl.Command({"write", "--dead-zone", "1.0deg", "--interval=50ms", "--save"}),
              kJoystick, ctl.Options());
  ASSERT_EQ(run.Wait(30s), 0) << run.Output();
  EXPECT_EQ(run.Output(), "Current Status: 1.0deg, 0, 1, 50ms, X= 128,Y= 127\n");
  const auto log = run.Log();
  const auto writes = Writes(log, kWriteConfig);
  ASSERT_EQ(writes.size(), 1u) << Dump(log);
  ASSERT_GE(writes[0].bytes.size(), 6u);
  EXPECT_EQ(writes[0].bytes[2], 0);
  EXPECT_EQ(writes[0].bytes[3], 5);
  EXPECT_EQ(writes[0].bytes[4], 0);
  EXPECT_EQ(writes[0].bytes[5], 4);
  EXPECT_EQ(Writes(log, kClose).size(), 1u);

  std::ifstream file(ctl.Folder() / "JOYSTICK.INI");
  const std::string saved{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ(saved,
            "[TRIVEXA]\nDeadZoneAngle= 0\nMaximumAngleOffset= 5\nMoveThreshold= 0\n"
            "TimeInterval= 4\n");
}

TEST(CtlE2eTest, NotFound) {
  CtlCopy ctl;
  VjoyRun run(ctl.Command({"status"}),
              "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n",
              ctl.Options());
  EXPECT_EQ(run.Wait(30s), 1) << run.Output();
  EXPECT_EQ(run.Output(), "trivexactl: joystick not found (USB 0079:0026).\n");
  EXPECT_TRUE(Only(run.Log(), "write").empty());
}

TEST(CtlE2eTest, PermissionDeniedGivesTheReasonAndTheFix) {
  CtlCopy ctl;
  VjoyRun run(ctl.Command({"status"}),
              "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" denied\n",
              ctl.Options());
  EXPECT_EQ(run.Wait(30s), 3) << run.Output();
  const std::string output = run.Output();
  EXPECT_NE(output.find("/dev/hidraw0 cannot be opened"), std::string::npos) << output;
  EXPECT_NE(output.find("Permission denied"), std::string::npos) << output;
  EXPECT_NE(output.find("udev"), std::string::npos) << output;
}

TEST(CtlE2eTest, RefusesWhileTheWindowHoldsItsLock) {
  CtlCopy ctl;
  app::InstanceLock window(app::LockPlace{ctl.Folder().string(), false});
  ASSERT_EQ(window.Take().outcome, app::LockOutcome::kTaken);
  VjoyRun run(ctl.Command({"status"}), kJoystick, ctl.Options());
  EXPECT_EQ(run.Wait(30s), 5) << run.Output();
  EXPECT_NE(run.Output().find("window is running"), std::string::npos);
  EXPECT_TRUE(Only(run.Log(), "open").empty());
}

// Output that cannot be written (standard output closed, or a full disk
// behind it) fails with status 7 and one line saying why; a closed
// descriptor 1 never becomes the joystick's node.
TEST(CtlE2eTest, OutputThatCannotBeWrittenFailsAndNeverGoesToTheJoystick) {
  CtlCopy ctl;
  const std::string program = ctl.Command({})[0];
  for (const std::string redirect : {">/dev/full", ">&-", "<&- >&-"}) {
    for (const std::string command : {"--version", "status", "list"}) {
      SCOPED_TRACE(command + " " + redirect);
      VjoyRun run({"/bin/sh", "-c", "exec \"$0\" " + command + " " + redirect, program}, kJoystick,
                  ctl.Options());
      EXPECT_EQ(run.Wait(30s), 7) << run.Output();
      const std::string output = run.Output();
      EXPECT_TRUE(output.starts_with("trivexactl: standard output: ")) << output;
      EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
      const auto log = run.Log();
      for (const LogEntry& open : Only(log, "open")) EXPECT_GT(open.fd, 2) << open.line;
      for (const LogEntry& write : Only(log, "write"))
        EXPECT_EQ(write.bytes.size(), 65u) << write.line;
    }
  }
}

// Two device commands of one user at once: the second waits, then gives up
// saying who holds the joystick, and never opens it meanwhile.
TEST(CtlE2eTest, ASecondDeviceCommandWaitsThenSaysWhoHoldsTheJoystick) {
  CtlCopy ctl;
  VjoyRun watch(ctl.Command({"watch"}), kJoystick, ctl.Options());
  ASSERT_TRUE(watch.WaitForLog(
      [](const std::vector<LogEntry>& log) { return !Writes(log, kPosition).empty(); }, 20s))
      << watch.Output();
  const auto started = std::chrono::steady_clock::now();
  VjoyRun status(ctl.Command({"status"}), kJoystick, ctl.Options());
  EXPECT_EQ(status.Wait(30s), 8) << status.Output();
  EXPECT_GE(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_EQ(status.Output(), "trivexactl: the joystick is busy: trivexactl watch (process " +
                                 std::to_string(watch.Pid()) +
                                 ") is using it; try again when it is done.\n");
  EXPECT_TRUE(Only(status.Log(), "open").empty());

  // Once the first is done, the next one gets the joystick.
  watch.Signal(SIGINT);
  ASSERT_EQ(watch.Wait(10s), 0) << watch.Output();
  VjoyRun after(ctl.Command({"status"}), kJoystick, ctl.Options());
  EXPECT_EQ(after.Wait(30s), 0) << after.Output();
}

TEST(CtlE2eTest, CtrlCEndsWatchWithTheCloseCommand) {
  CtlCopy ctl;
  VjoyRun run(ctl.Command({"watch"}), kJoystick, ctl.Options());
  ASSERT_TRUE(run.WaitForLog(
      [](const std::vector<LogEntry>& log) { return !Writes(log, kPosition).empty(); }, 20s))
      << run.Output();
  run.Signal(SIGINT);
  ASSERT_EQ(run.Wait(10s), 0) << run.Output();
  const auto log = run.Log();
  ASSERT_EQ(Writes(log, kClose).size(), 1u) << Dump(log);
  EXPECT_EQ(Only(log, "write").back().Command(), kClose);
  ExpectAllClosed(log);
  EXPECT_NE(run.Output().find("Joystick connected\n"), std::string::npos);
}

}  // namespace
}  // namespace trivexa::cli
