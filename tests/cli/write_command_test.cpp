#include <gtest/gtest.h>

#include <algorithm>

#include "cli/exit_codes.h"
#include "cli_rig.h"
#include "settings/ini_file.h"

namespace trivexa::cli {
namespace {

// The value under `key`, without the blanks around it.
std::string Stored(const CliRig& rig, std::string_view key) {
  return settings::ReadIniValue(rig.dir.path() / "JOYSTICK.INI", "TRIVEXA", key, "missing");
}

TEST(WriteCommandTest, WritesGivenValuesKeepsTheOthersAndReadsBack) {
  CliRig rig;
  rig.platform.AddJoystick();  // its EEPROM: 4, 5, 0, 1
  EXPECT_EQ(rig.Run({"write", "--dead-zone", "5.0deg", "--threshold", "#3"}), kExitOk);
  EXPECT_EQ(rig.platform.Joystick(0).eeprom, (settings::JoystickSettings{8, 5, 3, 1}));
  EXPECT_EQ(rig.out.str(), "Current Status: 5.0deg, 0, 4, 20ms, X= 128,Y= 127\n");
  // No --save: the settings file is not touched.
  EXPECT_FALSE(std::filesystem::exists(rig.dir.path() / "JOYSTICK.INI"));
}

TEST(WriteCommandTest, TheWriteHasTheWindowsPausesAndIsFollowedByTheReadBack) {
  CliRig rig;
  rig.platform.AddJoystick();
  ASSERT_EQ(rig.Run({"write", "--interval", "50ms"}), kExitOk);
  const auto traffic = rig.timeline.Relative({"write 00 3A", "sleep", "write 00 5A", "read"});
  const auto write = std::find_if(traffic.begin(), traffic.end(), [](const fakes::Event& e) {
    return e.what.starts_with("write 00 3A");
  });
  ASSERT_NE(write, traffic.end());
  EXPECT_EQ(write->what, "write 00 3A 04 05 00 04 /65");
  ASSERT_GE(write - traffic.begin(), 1);
  EXPECT_EQ((write - 1)->what, "sleep 50");
  ASSERT_GE(traffic.end() - write, 5);
  EXPECT_EQ((write + 1)->what, "sleep 30");
  EXPECT_EQ((write + 2)->what, "write 00 5A 00 00 00 00 /65");
  EXPECT_EQ((write + 3)->what, "sleep 30");
  EXPECT_EQ((write + 4)->what, "read 9");
  // Answered at once: no further status query.
  EXPECT_EQ(std::count_if(write, traffic.end(),
                          [](const fakes::Event& e) { return e.what.starts_with("write 00 5A"); }),
            1);
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
}

TEST(WriteCommandTest, SaveStoresTheValuesWhereTheWindowKeepsThem) {
  CliRig rig;
  rig.platform.AddJoystick();
  EXPECT_EQ(rig.Run({"write", "--angle-offset", "-5", "--save"}), kExitOk);
  EXPECT_EQ(Stored(rig, "DeadZoneAngle"), "4");
  EXPECT_EQ(Stored(rig, "MaximumAngleOffset"), "0");
  EXPECT_EQ(Stored(rig, "MoveThreshold"), "0");
  EXPECT_EQ(Stored(rig, "TimeInterval"), "1");
}

TEST(WriteCommandTest, SaveAloneStoresTheDevicesValues) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.platform.Joystick(0).eeprom = {8, 10, 5, 4};
  EXPECT_EQ(rig.Run({"write", "--save"}), kExitOk);
  EXPECT_EQ(Stored(rig, "DeadZoneAngle"), "8");
  EXPECT_EQ(Stored(rig, "TimeInterval"), "4");
}

TEST(WriteCommandTest, ADeviceThatKeepsItsOldValuesFailsTheReadBack) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.platform.Joystick(0).ignoreWriteConfig = true;
  EXPECT_EQ(rig.Run({"write", "--dead-zone", "1.0deg", "--save"}), kExitNoReply);
  EXPECT_EQ(rig.err.str(),
            "trivexactl: the joystick reports dead-zone 3.0deg, angle-offset 0, threshold 1, "
            "interval 20ms after the write of dead-zone 1.0deg, angle-offset 0, threshold 1, "
            "interval 20ms.\n");
  EXPECT_EQ(rig.out.str(), "");
  // What the device did not take is not saved either.
  EXPECT_FALSE(std::filesystem::exists(rig.dir.path() / "JOYSTICK.INI"));
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
}

TEST(WriteCommandTest, FailuresAndTheirExitCodes) {
  {
    SCOPED_TRACE("silent: nothing is written without the current values");
    CliRig rig;
    rig.platform.AddJoystick();
    rig.platform.Joystick(0).silent = true;
    EXPECT_EQ(rig.Run({"write", "--interval", "10ms"}), kExitNoReply);
    EXPECT_TRUE(rig.timeline.Texts({"write 00 3A"}).empty());
    EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
  }
  {
    SCOPED_TRACE("not found");
    CliRig rig;
    EXPECT_EQ(rig.Run({"write", "--interval", "10ms"}), kExitNotFound);
  }
  {
    SCOPED_TRACE("invalid value: refused before the device is touched");
    CliRig rig;
    rig.platform.AddJoystick();
    EXPECT_EQ(rig.Run({"write", "--interval", "15ms"}), kExitUsage);
    EXPECT_NE(rig.err.str().find("10ms 20ms 30ms 40ms 50ms"), std::string::npos);
    EXPECT_EQ(rig.platform.opens, 0);
  }
  {
    SCOPED_TRACE("window running");
    CliRig rig;
    rig.platform.AddJoystick();
    rig.windowRunning = true;
    EXPECT_EQ(rig.Run({"write", "--interval", "10ms"}), kExitWindowRunning);
    EXPECT_EQ(rig.platform.opens, 0);
  }
}

TEST(WriteCommandTest, AKeptValueTheWindowCannotHoldIsNotSaved) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.platform.Joystick(0).eeprom = {4, 5, 0, 6};  // 70ms
  EXPECT_EQ(rig.Run({"write", "--dead-zone", "1.0deg", "--save"}), kExitUsage);
  EXPECT_NE(rig.err.str().find("--interval 70ms is not among the window's choices"),
            std::string::npos);
  EXPECT_TRUE(rig.timeline.Texts({"write 00 3A"}).empty());
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);

  // Without --save the device keeps its own 70 ms.
  CliRig keep;
  keep.platform.AddJoystick();
  keep.platform.Joystick(0).eeprom = {4, 5, 0, 6};
  EXPECT_EQ(keep.Run({"write", "--dead-zone", "1.0deg"}), kExitOk);
  EXPECT_EQ(keep.platform.Joystick(0).eeprom, (settings::JoystickSettings{0, 5, 0, 6}));
}

TEST(WriteCommandTest, AKeptValueThatNamesNothingIsNotWrittenBack) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.platform.Joystick(0).eeprom = {4, 5, 200, 1};
  EXPECT_EQ(rig.Run({"write", "--dead-zone", "1.0deg"}), kExitUsage);
  EXPECT_NE(rig.err.str().find("--threshold as i200"), std::string::npos);
  EXPECT_TRUE(rig.timeline.Texts({"write 00 3A"}).empty());

  CliRig given;
  given.platform.AddJoystick();
  given.platform.Joystick(0).eeprom = {4, 5, 200, 1};
  EXPECT_EQ(given.Run({"write", "--dead-zone", "1.0deg", "--threshold", "2"}), kExitOk);
}

TEST(WriteCommandTest, AFailedWriteIsReported) {
  CliRig rig;
  rig.platform.AddJoystick();
  // The stop check comes just before the write command, which then fails.
  rig.stopWhen = [&] {
    rig.platform.Joystick(0).failNextWrites = 1;
    return false;
  };
  EXPECT_EQ(rig.Run({"write", "--dead-zone", "1.0deg"}), kExitNoReply);
  EXPECT_EQ(rig.err.str(), "trivexactl: the write to the joystick failed.\n");
}

TEST(WriteCommandTest, ASettingsFileThatCannotBeWrittenIsReported) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.settingsFolder = rig.dir.path() / "no such\x1b]0;owned\x07 folder";
  EXPECT_EQ(rig.Run({"write", "--interval", "40ms", "--save"}), kExitSaveFailed);
  EXPECT_EQ(rig.platform.Joystick(0).eeprom.intervalIndex, 3);  // the device has it
  // The file, its control characters escaped, then the call that failed and
  // the system's reason (in the system's words, which differ between
  // systems).
  const std::string err = rig.err.str();
  const std::string file =
      (rig.dir.path() / "no such\\x1b]0;owned\\x07 folder" / "JOYSTICK.INI").string();
  const std::size_t at = err.find("could not be written: " + file + ": ");
  ASSERT_NE(at, std::string::npos) << err;
  const std::string why = err.substr(at + 22 + file.size() + 2);
  const std::size_t colon = why.find(": ");
  ASSERT_NE(colon, std::string::npos) << err;
  EXPECT_GT(colon, 0u) << "no call named: " << err;
  EXPECT_GT(why.size(), colon + 3) << "no reason given: " << err;
}

}  // namespace
}  // namespace trivexa::cli
