#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/exit_codes.h"
#include "cli_rig.h"

namespace trivexa::cli {
namespace {

std::size_t CountLines(const std::string& text, const std::string& start) {
  std::istringstream lines(text);
  std::size_t count = 0;
  for (std::string line; std::getline(lines, line);) count += line.starts_with(start) ? 1 : 0;
  return count;
}

TEST(ReportCommandTest, TheTranscriptIsTheWindowsTrafficWithEveryReportReadAsAnELine) {
  CliRig rig;
  rig.platform.AddOther(0x046D, 0xC52B);
  rig.platform.AddJoystick();
  ASSERT_EQ(rig.Run({"report"}), kExitOk) << rig.err.str();
  const std::string report = rig.out.str();

  // The connection sequence, three polls a second apart, one close; no
  // EEPROM write.
  std::vector<std::string> commands;
  for (const std::string& write : rig.Writes()) commands.push_back(write.substr(9, 2));
  EXPECT_EQ(commands,
            (std::vector<std::string>{"5A", "5A", "5A", "6A", "5A", "6A", "5A", "6A", "AA"}));
  const std::vector<std::string> reads = rig.timeline.Texts({"read"});
  EXPECT_EQ(CountLines(report, "E: "),
            static_cast<std::size_t>(std::count_if(
                reads.begin(), reads.end(), [](const auto& read) { return read != "read 0"; })));
  // Each poll a second after the last, as the window's timer ticks.
  std::size_t ticks = 0;
  for (std::size_t at = report.find(" pause 1000 ms\n"); at != std::string::npos;
       at = report.find(" pause 1000 ms\n", at + 1)) {
    ++ticks;
  }
  EXPECT_EQ(ticks, 3u) << report;
  EXPECT_EQ(CountLines(report, "D: "), 3u);
  EXPECT_NE(report.find("D: 1\n# 000000.000000 open /dev/hidraw0"), std::string::npos) << report;
  EXPECT_NE(report.find("# status: Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n"
                        "# position:  x=-300,y= 25\n"),
            std::string::npos);
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
}

// Without a transcript the rest is still written, with the status the
// device part gives and what trivexactl said.
TEST(ReportCommandTest, WithoutAJoystickToTalkToTheRestIsStillWritten) {
  struct Case {
    const char* name;
    bool windowRunning;
    bool joystick;
    int status;
    const char* said;
  };
  for (const Case& test : {
           Case{"beside the window", true, true, kExitWindowRunning, "window is running"},
           Case{"no joystick", false, false, kExitNotFound, "joystick not found"},
       }) {
    SCOPED_TRACE(test.name);
    CliRig rig;
    rig.windowRunning = test.windowRunning;
    rig.platform.AddOther(0x046D, 0xC52B);
    if (test.joystick) rig.platform.AddJoystick();
    EXPECT_EQ(rig.Run({"report"}), test.status);
    const std::string report = rig.out.str();
    EXPECT_EQ(CountLines(report, "# list: "), test.joystick ? 2u : 1u) << report;
    EXPECT_EQ(CountLines(report, "E: "), 0u);
    EXPECT_NE(report.find("# said: trivexactl: "), std::string::npos) << report;
    EXPECT_NE(report.find(test.said), std::string::npos) << report;
    EXPECT_NE(report.find("# exit status: " + std::to_string(test.status) + "\n"),
              std::string::npos);
    EXPECT_TRUE(rig.Writes().empty());
  }
}

// As root (sudo), the file in a user's folder is the user's; one that
// cannot be written fails with status 7.
TEST(ReportCommandTest, TheFileIsItsFolderOwnersOrFailsWithStatus7) {
  CliRig rig;
  rig.platform.AddJoystick();
  const std::string file = (rig.dir.path() / "missing" / "report.txt").string();
  EXPECT_EQ(rig.Run({"report", "--output", file}), kExitOutputFailed);
  EXPECT_NE(rig.err.str().find("the report could not be written: "), std::string::npos)
      << rig.err.str();
  EXPECT_EQ(rig.out.str(), "");
#ifndef _WIN32
  // Written as the settings file is (whose tests cover FIFOs and the
  // rest): a link at the name is refused, not followed.
  const std::filesystem::path target = rig.dir.path() / "elsewhere";
  std::filesystem::create_symlink(target, rig.dir.path() / "link.txt");
  rig.err.str("");
  EXPECT_EQ(rig.Run({"report", "--output", (rig.dir.path() / "link.txt").string()}),
            kExitOutputFailed);
  EXPECT_NE(rig.err.str().find(": the report could not be written: it is a symbolic link."),
            std::string::npos)
      << rig.err.str();
  EXPECT_FALSE(std::filesystem::exists(target));
  if (::geteuid() != 0) return;
  const std::filesystem::path users = rig.dir.path() / "users";
  std::filesystem::create_directory(users);
  ASSERT_EQ(::chown(users.c_str(), 65534, 65534), 0);
  ASSERT_EQ(rig.Run({"report", "--output", (users / "report.txt").string()}), kExitOk);
  struct stat made {};
  ASSERT_EQ(::stat((users / "report.txt").c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, 65534u);
#endif
}

}  // namespace
}  // namespace trivexa::cli
