// The shipped trivexactl under the virtual joystick: real hidraw calls, real
// pauses, real signals. Times are not asserted; order and counts are.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "instance/instance_lock.h"
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
  instance::InstanceLock window(instance::LockPlace{ctl.Folder().string(), false});
  ASSERT_EQ(window.Take().outcome, instance::LockOutcome::kTaken);
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

// Two joysticks of one kind, numbered by their USB ports (1-2 before 1-10),
// which is not the order of their nodes: --device reaches only the one it
// names, and a joystick unplugged and plugged into the same socket comes
// back under another node with the same number.
TEST(CtlE2eTest, TwoJoysticksAreChosenByNumberOrPathAndKeepTheirNumbersAcrossAReplug) {
  const std::string twoJoysticks =
      "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\" port=1-4\n"
      "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware port=1-10\n"
      "hidraw 2 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware port=1-2 "
      "eeprom=8,10,5,4\n";
  const std::string second = "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n x=-300,y= 25\n";
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string output;
    std::string untouched;  // the node of the joystick not chosen
  };
  CtlCopy ctl;
  for (const Case& run : std::vector<Case>{
           {{"status", "--device", "2"}, 0, second, "hidraw2"},
           {{"status", "--device=/dev/hidraw1"}, 0, second, "hidraw2"},
           {{"status", "--device", "1"},
            0,
            "Current Status: 5.0deg, +5, 6, 50ms, X= 128,Y= 127\n x=-300,y= 25\n",
            "hidraw1"},
           {{"write", "--device", "2", "--dead-zone", "1.0deg"},
            0,
            "Current Status: 1.0deg, 0, 1, 20ms, X= 128,Y= 127\n",
            "hidraw2"},
           {{"status", "--device", "3"},
            1,
            "trivexactl: no joystick 3; present: 1 (port 1-2, /dev/hidraw2), 2 (port 1-10, "
            "/dev/hidraw1).\n",
            "hidraw1"},
       }) {
    SCOPED_TRACE(run.arguments[1]);
    VjoyRun joysticks(ctl.Command(run.arguments), twoJoysticks, ctl.Options());
    ASSERT_EQ(joysticks.Wait(30s), run.status) << joysticks.Output();
    EXPECT_EQ(joysticks.Output(), run.output);
    const auto log = joysticks.Log();
    EXPECT_TRUE(Only(log, "write", run.untouched).empty()) << Dump(log);
    EXPECT_TRUE(Only(log, "firmware", run.untouched).empty()) << Dump(log);
  }

  // watch --device 2 while joystick 2 leaves socket 1-10 and comes back as
  // hidraw3; list once it is back.
  const std::string replug = twoJoysticks +
                             "hidraw 3 vendor=0x0079 product=0x0026 name=\"USB Joystick\" "
                             "firmware port=1-10\n"
                             "unplug 1 at=3000\n"
                             "replug 3 at=4000\n";
  const std::string script =
      "\"$0\" watch --device 2 --json >watch.txt & "
      "until [ -e /sys/class/hidraw/hidraw3 ]; do sleep 0.1; done; \"$0\" list; "
      "until grep -q hidraw3 watch.txt; do sleep 0.1; done; kill -INT $!; wait $!";
  VjoyRun run({"/bin/sh", "-c", script, ctl.Command({})[0]}, replug, ctl.Options());
  ASSERT_EQ(run.Wait(30s), 0) << run.Output();
  EXPECT_EQ(run.Output(),
            "/dev/hidraw0  046d:c52b  in 4 out 0  \"Logitech USB Receiver\"\n"
            "/dev/hidraw2  0079:0026  in 9 out 65  \"USB Joystick\"  <- joystick 1, port 1-2\n"
            "/dev/hidraw3  0079:0026  in 9 out 65  \"USB Joystick\"  <- joystick 2, port 1-10\n");
  std::ifstream watchFile(run.Folder() + "/watch.txt");
  std::vector<std::string> connections;
  for (std::string line; std::getline(watchFile, line);) {
    if (line.find(R"("connected":)") != std::string::npos) {
      connections.push_back(line.substr(0, line.find(R"(,"status")")));
    }
  }
  EXPECT_EQ(connections.front(),
            R"({"version":2,"connected":true,"path":"/dev/hidraw1","number":2,"port":"1-10"})");
  EXPECT_NE(std::find(connections.begin(), connections.end(), R"({"version":2,"connected":false})"),
            connections.end());
  EXPECT_EQ(connections.back(),
            R"({"version":2,"connected":true,"path":"/dev/hidraw3","number":2,"port":"1-10"})");
  EXPECT_TRUE(Only(run.Log(), "write", "hidraw2").empty());
}

// Every line of a report is a comment or a line of the HID tools'
// recording format; R: and E: carry as many bytes as their length says,
// E: its time as seconds and microseconds.
void ExpectHidToolsLines(const std::string& report) {
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    const std::string key = line.substr(0, 3);
    ASSERT_TRUE(key == "D: " || key == "N: " || key == "I: " || key == "P: " || key == "R: " ||
                key == "E: ");
    if (key != "R: " && key != "E: ") continue;
    std::istringstream words(line.substr(3));
    if (key == "E: ") {
      std::string time;
      words >> time;
      EXPECT_TRUE(std::regex_match(time, std::regex(R"(\d{6}\.\d{6})"))) << time;
    }
    std::size_t length = 0;
    ASSERT_TRUE(words >> length);
    std::size_t count = 0;
    for (std::string byte; words >> byte; ++count) {
      EXPECT_TRUE(std::regex_match(byte, std::regex("[0-9a-f]{2}"))) << byte;
    }
    EXPECT_EQ(count, length);
  }
}

// A report's transcript as its calls went, without their times.
std::string Untimed(const std::string& report) {
  std::istringstream lines(report.substr(std::min(report.find("# transcript"), report.size())));
  std::string untimed;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, std::regex(R"(^(#|E:) \d{6}\.\d{6} )"))) line.erase(2, 14);
    untimed += line + "\n";
  }
  return untimed;
}

// `report` under a scenario, then `list` and `status` under the report
// replayed: they print what they printed under the scenario, and a report
// made under the replay makes the same calls. The report writes no EEPROM,
// closes once and keeps the home folder and the user's name out.
TEST(CtlE2eTest, AReportReplaysAsTheScenarioItWasMadeUnder) {
  struct Case {
    const char* name;
    std::string scenario;
    int reportStatus;
    bool sameCalls = true;  // late replies race the reads they answer
  };
  const std::vector<Case> cases = {
      {"one joystick", "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n", 0},
      {"among many interfaces",
       "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\" port=3-1\n"
       "hidraw 1 vendor=0x045e product=0x07a5 descriptor=0501090aa101c0 name=\"Keyboard\"\n"
       "hidraw 2 vendor=0x0079 product=0x0006 name=\"Generic Pad\"\n"
       "hidraw 4 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware port=1-10\n"
       "hidraw 5 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware port=1-2 "
       "eeprom=8,10,5,4\n"
       "hidraw 7 vendor=0x1234 product=0x5678 bus=5 name=\"Bluetooth Mouse\"\n",
       0},
      {"late replies",
       "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware delay=180\n", 0,
       false},
      {"a node that cannot be opened",
       "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
       "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" denied\n",
       3},
      {"unexpected status bytes",
       "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware "
       "eeprom=9,255,7,200 status-xy=0,255 position=-32768,32767\n",
       0},
      {"a status query whose write fails",
       "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware "
       "fail-write=0x5a*2:EPIPE\n",
       4},
      {"unplugged between polls and back",
       "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n"
       "unplug 0 after=0x6a*1+300\nreplug 0 after=unplug+1000\n",
       0},
  };
  CtlCopy ctl;
  RunOptions options = ctl.Options();
  // Run from a home folder: the program's own folder is in it.
  options.environment.emplace_back("HOME", ctl.Folder().string());
  options.workingDirectory = ctl.Folder().string();
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    VjoyRun report(ctl.Command({"report", "--output", "report.txt"}), test.scenario, options);
    ASSERT_EQ(report.Wait(30s), test.reportStatus) << report.Output();
    std::ifstream file(ctl.Folder() / "report.txt");
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find(ctl.Folder().string()), std::string::npos) << text;
    EXPECT_EQ(text.find(user->pw_name), std::string::npos) << text;
    EXPECT_NE(text.find("# installed: a copied folder (~)"), std::string::npos) << text;
    ExpectHidToolsLines(text);
    const auto log = report.Log();
    EXPECT_TRUE(Writes(log, kWriteConfig).empty()) << Dump(log);
    EXPECT_EQ(Writes(log, kClose).size(), test.reportStatus == 3 ? 0u : 1u) << Dump(log);

    for (const std::string command : {"list", "status"}) {
      SCOPED_TRACE(command);
      VjoyRun original(ctl.Command({command}), test.scenario, options);
      const auto originalStatus = original.Wait(30s);
      VjoyRun replayed(ctl.Command({command}), text, options);
      EXPECT_EQ(replayed.Wait(30s), originalStatus);
      EXPECT_EQ(replayed.Output(), original.Output()) << text;
    }
    if (!test.sameCalls) continue;
    VjoyRun again(ctl.Command({"report", "--output", "again.txt"}), text, options);
    EXPECT_EQ(again.Wait(30s), test.reportStatus);
    std::ifstream againFile(ctl.Folder() / "again.txt");
    EXPECT_EQ(Untimed({std::istreambuf_iterator<char>(againFile), {}}), Untimed(text));
  }
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
