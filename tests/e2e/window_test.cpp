// The real window with the real Linux backend and the virtual joystick,
// driven like a user: each case runs in a child process under the fixture
// (see window_child.h) and is judged here from the fixture's log, the
// clicks' times and the settings file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "e2e/e2e_support.h"
#include "vjoy/harness.h"

namespace trivexa::e2e {
namespace {

using namespace std::chrono_literals;
using vjoy::testing::Only;
using vjoy::testing::VjoyRun;

constexpr std::uint8_t kWriteConfig = 0x3A;
constexpr std::uint8_t kClose = 0xAA;

const char* const kJoystick =
    "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
    "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n";

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

struct ChildRun {
  std::map<std::string, double> events;  // "click-write" -> ms
  std::string statusLine;
  std::string title;
  std::vector<LogEntry> log;
  std::optional<int> exitStatus;
  std::string output;
};

ChildRun RunChild(const std::string& scenarioCase, const std::string& scenario,
                  const std::filesystem::path& folder) {
  VjoyRun run({SelfPath(), "window-child", scenarioCase, folder.string()}, scenario,
              {{{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", folder.string()}}, {}});
  ChildRun result;
  result.exitStatus = run.Wait(30s);
  result.output = run.Output();
  result.log = run.Log();
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("status ", 0) == 0) {
      result.statusLine = line.substr(7);
    } else if (const std::size_t space = line.find(' ');
               line.rfind("click-", 0) == 0 && space != std::string::npos) {
      result.events[line.substr(0, space)] = std::stod(line.substr(space + 1));
    } else if (line.rfind("title ", 0) == 0) {
      result.title = line.substr(6);
    }
  }
  return result;
}

class WindowE2eTest : public ::testing::Test {
 protected:
  WindowE2eTest() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "trivexa-window-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  ~WindowE2eTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::filesystem::path Ini() const { return folder_ / "JOYSTICK.INI"; }

  std::filesystem::path folder_;
};

#define EXPECT_GAP(from, to, low, high)          \
  do {                                           \
    const double gap_ = (to) - (from);           \
    EXPECT_GE(gap_, (low)) << #from " -> " #to;  \
    EXPECT_LE(gap_, (high)) << #from " -> " #to; \
  } while (false)

// After the close command, both nodes are closed 200 ms later and nothing
// else reaches the device.
void ExpectClosedAfter(const std::vector<LogEntry>& log, const LogEntry& closeCommand) {
  const auto closes = Only(log, "close", "hidraw1");
  ASSERT_EQ(closes.size(), 2u);
  for (const LogEntry& close : closes) EXPECT_GAP(closeCommand.ms, close.ms, 195.0, 500.0);
  EXPECT_EQ(CloseFaults(log), std::vector<std::string>{});
  for (const LogEntry& write : Only(log, "write", "hidraw1")) {
    EXPECT_LE(write.ms, closeCommand.ms) << write.line;
  }
}

TEST_F(WindowE2eTest, WriteEepromSendsTheListIndexesAndSavesThemThenExitSendsOneClose) {
  const ChildRun run = RunChild("write-then-exit", kJoystick, folder_);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  ASSERT_EQ(run.events.count("click-write"), 1u) << run.output;
  ASSERT_EQ(run.events.count("click-exit"), 1u) << run.output;

  const auto writes = Writes(run.log, "hidraw1", kWriteConfig);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_GAP(run.events.at("click-write"), writes[0].ms, 45.0, 250.0);
  const std::vector<std::uint8_t> head(writes[0].bytes.begin(), writes[0].bytes.begin() + 7);
  EXPECT_EQ(head, (std::vector<std::uint8_t>{0x00, 0x3A, 8, 10, 5, 4, 0}));
  EXPECT_EQ(writes[0].bytes.size(), 65u);

  EXPECT_EQ(IniValue(Ini(), "DeadZoneAngle"), "8");
  EXPECT_EQ(IniValue(Ini(), "MaximumAngleOffset"), "10");
  EXPECT_EQ(IniValue(Ini(), "MoveThreshold"), "5");
  EXPECT_EQ(IniValue(Ini(), "TimeInterval"), "4");
  // The device took them: its next status reply shows them.
  EXPECT_EQ(run.statusLine, "Current Status: 5.0deg, +5, 6, 50ms, X= 128,Y= 127");

  const auto closeCommands = Writes(run.log, "hidraw1", kClose);
  ASSERT_EQ(closeCommands.size(), 1u);
  EXPECT_GAP(run.events.at("click-exit"), closeCommands[0].ms, 95.0, 300.0);
  ExpectClosedAfter(run.log, closeCommands[0]);
}

TEST_F(WindowE2eTest, TheCloseBoxSendsOneCloseAndClosesBothNodes) {
  const ChildRun run = RunChild("close-box", kJoystick, folder_);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  ASSERT_EQ(run.events.count("click-close"), 1u) << run.output;
  const auto closeCommands = Writes(run.log, "hidraw1", kClose);
  ASSERT_EQ(closeCommands.size(), 1u);
  EXPECT_GAP(run.events.at("click-close"), closeCommands[0].ms, 95.0, 300.0);
  ExpectClosedAfter(run.log, closeCommands[0]);
}

TEST_F(WindowE2eTest, WithoutTheJoystickWriteEepromSendsAndSavesNothing) {
  const ChildRun run = RunChild(
      "write-unconnected", "hidraw 0 vendor=0x046d product=0xc52b name=\"Receiver\"\n", folder_);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  ASSERT_EQ(run.events.count("click-write"), 1u) << run.output;
  EXPECT_EQ(Only(run.log, "write").size(), 0u);
  // The file keeps the defaults start-up wrote.
  EXPECT_EQ(IniValue(Ini(), "DeadZoneAngle"), "5");
  EXPECT_EQ(IniValue(Ini(), "TimeInterval"), "1");
  EXPECT_EQ(CloseFaults(run.log), std::vector<std::string>{});
}

// The window's first seconds under a problem report replayed show what they
// showed under the scenario the report was made under: the hidden log, the
// connection label, the status line and the position line.
TEST_F(WindowE2eTest, AReplayedReportShowsTheSameFirstSeconds) {
  for (const std::string& scenario : {
           std::string(kJoystick),
           std::string("hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
                       "hidraw 2 vendor=0x0079 product=0x0026 name=\"USB Joystick\" denied\n"
                       "hidraw 3 vendor=0x0079 product=0x0026 name=\"USB Joystick Pro 2\" "
                       "firmware eeprom=0,10,3,4 status-xy=3,250\n"),
       }) {
    SCOPED_TRACE(scenario);
    VjoyRun report({TRIVEXACTL_EXECUTABLE, "report", "--output", "report.txt"}, scenario,
                   {{{"XDG_RUNTIME_DIR", folder_.string()}}, {}});
    ASSERT_EQ(report.Wait(30s), 0) << report.Output();
    std::ifstream file(report.Folder() + "/report.txt");
    const std::string replay{std::istreambuf_iterator<char>(file), {}};

    auto shown = [](const ChildRun& run) {
      std::string lines;
      std::istringstream output(run.output);
      for (std::string line; std::getline(output, line);) {
        if (line.starts_with("log ") || line.starts_with("connection ") ||
            line.starts_with("position ") || line.starts_with("status ")) {
          lines += line + "\n";
        }
      }
      return lines;
    };
    const ChildRun original = RunChild("first-seconds", scenario, folder_);
    ASSERT_EQ(original.exitStatus, 0) << original.output;
    const ChildRun replayed = RunChild("first-seconds", replay, folder_);
    ASSERT_EQ(replayed.exitStatus, 0) << replayed.output;
    EXPECT_NE(shown(original).find("log   Joystick Communications OK!"), std::string::npos)
        << original.output;
    EXPECT_EQ(shown(replayed), shown(original)) << replay;
  }
}

// Two joysticks with different EEPROMs, the window for the second, which is
// unplugged and back: the child leaves then, showing the values it wrote.
TEST_F(WindowE2eTest, DeviceTwoShowsWritesAndClosesOnlyTheSecondAndWaitsForItAlone) {
  const ChildRun run = RunChild("device-2",
                                "hidraw 0 vendor=0x0079 product=0x0026 firmware\n"
                                "hidraw 1 vendor=0x0079 product=0x0026 firmware eeprom=2,3,1,0\n"
                                "unplug 1 after=0x3a*1+1500\nreplug 1 after=unplug+4000\n",
                                folder_);
  ASSERT_EQ(run.exitStatus, 0) << run.output;
  EXPECT_EQ(run.title, "Trivexa \u2014 joystick 2, port 1-2");
  EXPECT_EQ(run.statusLine, "Current Status: 5.0deg, +5, 6, 50ms, X= 128,Y= 127");
  EXPECT_TRUE(Calls(run.log, "hidraw0").empty());  // not even while the second is away
  EXPECT_EQ(Writes(run.log, "hidraw1", kWriteConfig).size(), 1u);
  EXPECT_EQ(Writes(run.log, "hidraw1", kClose).size(), 1u);
}

}  // namespace
}  // namespace trivexa::e2e
