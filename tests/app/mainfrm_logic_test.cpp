#include "app/logic/mainfrm_logic.h"

#include <gtest/gtest.h>

#include "app/logic/command_line.h"
#include "app/logic/save_failure.h"
#include "fakes/app_rig.h"
#include "fakes/temp_dir.h"

namespace trivexa::app {
namespace {

using fakes::Event;
using Lines = std::vector<std::string>;

class MainfrmLogicTest : public ::testing::Test {
 protected:
  // The device side of the timeline: reports, pauses, reads, labels, logs.
  std::vector<Event> Traffic() const {
    return rig_.timeline.Relative({"tick", "write", "sleep", "read", "wait", "label", "status",
                                   "position", "log", "timer", "open", "close", "cancel", "save"});
  }
  void Load() {
    rig_.logic.Form_Load();
    rig_.timeline.Clear();
  }
  // Loads, plugs the joystick in and runs up to the end of the first tick.
  void LoadConnected() {
    rig_.platform.AddJoystick();
    Load();
    rig_.NextTick();
    ASSERT_TRUE(rig_.logic.Link().deviceConnected);
    rig_.timeline.Clear();
  }

  fakes::TempDir dir_;
  fakes::AppRig rig_{dir_.path()};
};

TEST_F(MainfrmLogicTest, StartUpCreatesTheMissingFileAndShowsTheDefaults) {
  rig_.logic.Form_Load();
  EXPECT_EQ(fakes::ReadFile(rig_.IniPath()),
            fakes::NewFileText({"[TRIVEXA]", "DeadZoneAngle=5", "MaximumAngleOffset=5",
                                "MoveThreshold=2", "TimeInterval=1"}));
  EXPECT_EQ(rig_.combos[0].shownText, " 3.5deg");
  EXPECT_EQ(rig_.combos[1].shownText, " 0");
  EXPECT_EQ(rig_.combos[2].shownText, " 3");
  EXPECT_EQ(rig_.combos[3].shownText, " 20ms");
  EXPECT_EQ(rig_.window.status, std::string(STATUS_PLACEHOLDER));
  EXPECT_TRUE(rig_.program.shown);
  // No device work before the first tick.
  EXPECT_EQ(rig_.platform.listCalls, 0);
  EXPECT_EQ(rig_.platform.opens, 0);
  EXPECT_EQ(rig_.timeline.Texts({"status", "show"}),
            (Lines{"status " + std::string(STATUS_PLACEHOLDER), "show window"}));
}

TEST_F(MainfrmLogicTest, StartUpShowsTheStoredSettingsAndLeavesTheFileAlone) {
  const std::string stored =
      "[TRIVEXA]\r\nDeadZoneAngle= 8\r\nMaximumAngleOffset= 10\r\nMoveThreshold= "
      "5\r\nTimeInterval= 4\r\n";
  fakes::WriteFile(rig_.IniPath(), stored);
  rig_.logic.Form_Load();
  EXPECT_EQ(rig_.logic.Settings(), (settings::JoystickSettings{8, 10, 5, 4}));
  EXPECT_EQ(rig_.combos[0].shownText, " 5.0deg");
  EXPECT_EQ(rig_.combos[1].shownText, " +5");
  EXPECT_EQ(rig_.combos[2].shownText, " 6");
  EXPECT_EQ(rig_.combos[3].shownText, " 50ms");
  EXPECT_EQ(fakes::ReadFile(rig_.IniPath()), stored);
}

TEST_F(MainfrmLogicTest, SecondCopyEndsAtOnceTouchingNothing) {
  rig_.instance.anotherRunning = true;
  rig_.platform.AddJoystick();
  rig_.logic.Form_Load();
  EXPECT_TRUE(rig_.program.ended);
  EXPECT_FALSE(rig_.program.shown);
  EXPECT_FALSE(std::filesystem::exists(rig_.IniPath()));
  EXPECT_TRUE(rig_.combos[0].entries.empty());
  // Nothing is sent when the ended copy's window goes away either.
  rig_.logic.Form_Unload();
  EXPECT_EQ(rig_.platform.listCalls, 0);
  EXPECT_EQ(rig_.platform.opens, 0);
  EXPECT_TRUE(rig_.timeline.Texts({"sleep", "timer"}).empty());
}

TEST_F(MainfrmLogicTest, WithoutADeviceEveryTickShowsTheUnconnectedLookAndScans) {
  rig_.platform.AddOther(0x046D, 0xC52B);
  Load();
  rig_.window.position = "stale";
  rig_.RunUntil(3000);
  const std::vector<Event> tick = {
      {0, "tick"},
      {0, "label unconnected"},
      {0, "status " + std::string(STATUS_PLACEHOLDER)},
      {0, "position "},
      {0, "open /dev/hidraw0 write -> 100"},
      {0, "sleep 100"},
      {100, "log   ProductName: Other devic"},
      {100, "log   Vendor ID: 46D"},
      {100, "log   Product ID: C52B"},
      {100, "close 100"},
      {100, "log   USB device not found!"},
      {100, "label unconnected"},
  };
  std::vector<Event> expected;
  for (int second = 0; second < 3; ++second) {
    for (Event event : tick) {
      event.atMs += second * 1000;
      if (event.what.starts_with("open")) {
        event.what = "open /dev/hidraw0 write -> " + std::to_string(100 + second);
      }
      if (event.what.starts_with("close")) event.what = "close " + std::to_string(100 + second);
      expected.push_back(event);
    }
  }
  // The first tick comes one interval after start-up.
  EXPECT_EQ(rig_.timeline.Matching({"tick"}).front().atMs, 1000);
  EXPECT_EQ(Traffic(), expected);
  EXPECT_EQ(rig_.timeline.Texts({"interval"}), (Lines(3, "interval 1000")));
  EXPECT_EQ(rig_.platform.OpenHandleCount(), 0);
  EXPECT_EQ(rig_.platform.doubleCloses, 0);
  EXPECT_EQ(rig_.window.position, "");
}

TEST_F(MainfrmLogicTest, PluggingInRunsTheConnectionSequenceThenPollsOncePerTick) {
  Load();
  rig_.RunUntil(1500);  // one tick without the joystick
  auto& joystick = rig_.platform.AddJoystick();
  // Two reports left over in the device's queue from before.
  joystick.joystick->Queue(0, std::vector<std::uint8_t>(9, 0));
  joystick.joystick->Queue(0, std::vector<std::uint8_t>(9, 0));
  rig_.timeline.Clear();

  rig_.NextTick();
  EXPECT_EQ(Traffic(), (std::vector<Event>{
                           {0, "tick"},
                           {0, "label unconnected"},
                           {0, "status " + std::string(STATUS_PLACEHOLDER)},
                           {0, "position "},
                           {0, "open /dev/hidraw0 write -> 100"},
                           {0, "sleep 100"},
                           {100, "log   ProductName: USB Joystic"},
                           {100, "log   Vendor ID: 79"},
                           {100, "log   Product ID: 26"},
                           {100, "log   USB device found!"},
                           {100, "open /dev/hidraw0 read -> 102"},
                           {100, "label connected"},
                           {100, "timer off"},
                           {100, "log   Joystick Communications OK!"},
                           {100, "write 00 5A 00 00 00 00 /65"},
                           // The queue is emptied: two leftovers, then the
                           // reply arrives during the wait and is dropped.
                           {100, "read 9"},
                           {100, "wait signalled"},
                           {100, "read 9"},
                           {100, "wait signalled"},
                           {100, "read 0"},
                           {102, "wait signalled"},
                           {102, "write 00 5A 00 00 00 00 /65"},
                           {102, "sleep 30"},
                           {132, "read 9"},
                           {132, "wait signalled"},
                           {132, "status Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127"},
                           {132, "timer on"},
                       }));
  EXPECT_EQ(rig_.window.log.back(), "  Joystick Communications OK!");
  EXPECT_EQ(rig_.window.selectedLine, static_cast<int>(rig_.window.log.size()) - 1);

  // The next tick comes a full interval after the sequence; from then on
  // one status and one position query per tick, each 30 ms before its read.
  const std::int64_t sequenceEnd = rig_.clock.NowMs();
  rig_.timeline.Clear();
  rig_.RunUntil(sequenceEnd + 2000);
  const std::vector<Event> tick = {
      {0, "tick"},
      {0, "write 00 5A 00 00 00 00 /65"},
      {0, "sleep 30"},
      {30, "read 9"},
      {30, "wait signalled"},
      {30, "status Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127"},
      {30, "write 00 6A 00 00 00 00 /65"},
      {30, "sleep 30"},
      {60, "read 9"},
      {60, "wait signalled"},
      {60, "position  x=-300,y= 25"},
  };
  std::vector<Event> expected = tick;
  for (Event event : tick) expected.push_back({event.atMs + 1000, event.what});
  EXPECT_EQ(Traffic(), expected);
  EXPECT_EQ(rig_.timeline.Matching({"tick"}).front().atMs, sequenceEnd + 1000);
  // A connected tick never touches the timer.
  EXPECT_TRUE(rig_.timeline.Texts({"timer", "interval"}).empty());
}

TEST_F(MainfrmLogicTest, FloodingDeviceCannotHoldTheConnectionSequenceForEver) {
  auto& joystick = rig_.platform.AddJoystick();
  joystick.joystick->flood = true;
  Load();
  rig_.NextTick();
  EXPECT_EQ(rig_.timeline.Texts({"read"}).size(), 64u + 1u);
  EXPECT_TRUE(rig_.timer.Enabled());
}

TEST_F(MainfrmLogicTest, UnplugWhilePollingThenReplugFindsItAgainWithoutLeaks) {
  LoadConnected();
  for (int cycle = 0; cycle < 3; ++cycle) {
    rig_.platform.Unplug(0);
    rig_.timeline.Clear();
    rig_.NextTick();  // the write fails; the position query's rescan fails
    EXPECT_FALSE(rig_.logic.Link().deviceConnected);
    EXPECT_FALSE(rig_.window.connected);
    EXPECT_EQ(rig_.platform.OpenHandleCount(), 0);

    rig_.NextTick();  // not connected: unconnected look and a scan
    EXPECT_EQ(rig_.window.status, std::string(STATUS_PLACEHOLDER));
    EXPECT_EQ(rig_.window.log.back(), "  USB device not found!");

    rig_.platform.Replug(0);
    rig_.NextTick();
    EXPECT_TRUE(rig_.logic.Link().deviceConnected);
    EXPECT_TRUE(rig_.window.connected);
    EXPECT_EQ(rig_.platform.OpenHandleCount(), 2);
  }
  EXPECT_EQ(rig_.platform.doubleCloses, 0);
}

TEST_F(MainfrmLogicTest, CapabilityQueryThatFailsOnceDelaysTheConnectionByOneTick) {
  rig_.platform.AddJoystick().failNextCapsQueries = 1;
  Load();
  rig_.NextTick();
  EXPECT_FALSE(rig_.logic.Link().deviceConnected);
  EXPECT_FALSE(rig_.window.connected);

  rig_.NextTick();
  ASSERT_TRUE(rig_.logic.Link().deviceConnected);
  rig_.NextTick();
  EXPECT_EQ(rig_.window.status, "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127");
  EXPECT_EQ(rig_.window.position, " x=-300,y= 25");

  rig_.logic.Cmd_Exit_Click();
  EXPECT_EQ(rig_.platform.Joystick(0).closeCommands, 1);
}

TEST_F(MainfrmLogicTest, ReconnectOnDemandClosesTheLostHandlesFirst) {
  LoadConnected();
  auto& joystick = rig_.platform.Joystick(0);
  for (int cycle = 0; cycle < 5; ++cycle) {
    // The status write fails; the position query then reconnects by itself.
    joystick.failNextWrites = 1;
    rig_.timeline.Clear();
    rig_.logic.Timer1_Timer();
    EXPECT_EQ(rig_.timeline.Texts({"write"}),
              (Lines{"write 00 5A 00 00 00 00 /65 failed", "write 00 6A 00 00 00 00 /65"}));
    EXPECT_TRUE(rig_.logic.Link().deviceConnected);
    EXPECT_EQ(rig_.platform.OpenHandleCount(), 2) << "cycle " << cycle;
  }
  // Lost on the last query of a poll, where nothing reconnects: the next
  // tick closes both handles before it searches.
  joystick.failWaits = true;
  rig_.logic.Timer1_Timer();
  ASSERT_FALSE(rig_.logic.Link().deviceConnected);
  rig_.platform.Unplug(0);
  rig_.logic.Timer1_Timer();
  EXPECT_EQ(rig_.platform.OpenHandleCount(), 0);
  EXPECT_EQ(rig_.platform.doubleCloses, 0);
}

TEST_F(MainfrmLogicTest, WriteWhileConnectedPausesPollingSendsAndSaves) {
  LoadConnected();
  rig_.combos[0].Select(5);
  rig_.combos[1].Select(5);
  rig_.combos[2].Select(2);
  rig_.combos[3].Select(1);
  fakes::WriteFile(rig_.IniPath(), "[TRIVEXA]\nDeadZoneAngle=0\n");
  rig_.clock.Advance(400);
  rig_.timeline.Clear();

  rig_.logic.Cmd_WriteEEPROM_Click();
  EXPECT_EQ(Traffic(), (std::vector<Event>{
                           {0, "timer off"},
                           {0, "sleep 50"},
                           {50, "write 00 3A 05 05 02 01 /65"},
                           {50, "sleep 30"},
                           {80, "timer on"},
                       }));
  EXPECT_EQ(rig_.platform.Joystick(0).eeprom, (settings::JoystickSettings{5, 5, 2, 1}));
  EXPECT_EQ(
      fakes::ReadFile(rig_.IniPath()),
      "[TRIVEXA]\nDeadZoneAngle= 5\nMaximumAngleOffset= 5\nMoveThreshold= 2\nTimeInterval= 1\n");
  const std::int64_t end = rig_.clock.NowMs();
  rig_.NextTick();
  EXPECT_EQ(rig_.timeline.Matching({"tick"}).front().atMs, end + 1000);

  // A second click writes and saves again, each with its own pauses.
  rig_.combos[3].Select(4);
  rig_.timeline.Clear();
  rig_.logic.Cmd_WriteEEPROM_Click();
  EXPECT_EQ(rig_.timeline.Texts({"write", "sleep"}),
            (Lines{"sleep 50", "write 00 3A 05 05 02 04 /65", "sleep 30"}));
  EXPECT_NE(fakes::ReadFile(rig_.IniPath()).find("TimeInterval= 4"), std::string::npos);
  // No reply is read by the command.
  EXPECT_TRUE(rig_.timeline.Texts({"read"}).empty());
}

TEST_F(MainfrmLogicTest, WriteWithoutADeviceTakesTheListsButSendsAndSavesNothing) {
  Load();
  const std::string before = fakes::ReadFile(rig_.IniPath());
  rig_.combos[0].Select(8);
  rig_.logic.Cmd_WriteEEPROM_Click();
  rig_.logic.Cmd_WriteEEPROM_Click();
  EXPECT_EQ(rig_.logic.Settings().deadZoneIndex, 8);
  EXPECT_EQ(fakes::ReadFile(rig_.IniPath()), before);
  EXPECT_TRUE(rig_.timeline.Texts({"write", "sleep", "timer"}).empty());
}

TEST_F(MainfrmLogicTest, TypedTextNeverSendsAnIndexOutsideTheTable) {
  LoadConnected();
  rig_.combos[1].Select(9);
  rig_.combos[2].Type("seven");
  rig_.logic.Cmd_WriteEEPROM_Click();
  // The field keeps its value and the list shows it again.
  EXPECT_EQ(rig_.logic.Settings(), (settings::JoystickSettings{5, 9, 2, 1}));
  EXPECT_EQ(rig_.combos[2].shownText, " 3");
  EXPECT_EQ(rig_.combos[2].selected, 2);
  EXPECT_EQ(rig_.platform.Joystick(0).eeprom, (settings::JoystickSettings{5, 9, 2, 1}));
}

TEST_F(MainfrmLogicTest, WriteThatFailsStillSavesAndTheNextTickSearches) {
  LoadConnected();
  rig_.platform.Joystick(0).failWrites = true;
  rig_.combos[0].Select(0);
  rig_.logic.Cmd_WriteEEPROM_Click();
  EXPECT_FALSE(rig_.logic.Link().deviceConnected);
  EXPECT_NE(fakes::ReadFile(rig_.IniPath()).find("DeadZoneAngle= 0"), std::string::npos);
  EXPECT_TRUE(rig_.timer.Enabled());
}

TEST_F(MainfrmLogicTest, ASaveThatFailsIsReportedOnceAfterTheDeviceWrite) {
  LoadConnected();
  // A folder where the file should be: the device is written, the file not.
  std::filesystem::remove(rig_.IniPath());
  std::filesystem::create_directory(rig_.IniPath());
  rig_.combos[0].Select(7);
  rig_.timeline.Clear();
  rig_.logic.Cmd_WriteEEPROM_Click();
  EXPECT_EQ(rig_.timeline.Texts({"timer", "sleep", "write", "save"}),
            (Lines{"timer off", "sleep 50", "write 00 3A 07 05 02 01 /65", "sleep 30",
                   "save failed", "timer on"}));
  ASSERT_EQ(rig_.program.saveFailures.size(), 1u);
  EXPECT_EQ(rig_.program.saveFailures[0].path, rig_.IniPath());
  EXPECT_FALSE(rig_.program.saveFailures[0].reason.empty());
  EXPECT_EQ(rig_.platform.Joystick(0).eeprom.deadZoneIndex, 7);
  // On standard error the path (from HOME, say) cannot drive the terminal.
  settings::SaveResult hostile = rig_.program.saveFailures[0];
  hostile.path = "/home/\x1b]0;owned\x07/JOYSTICK.INI";
  EXPECT_TRUE(SaveFailureLine(hostile).starts_with(
      "trivexa: settings not saved: /home/\\x1b]0;owned\\x07/JOYSTICK.INI: "));
}

// The three device states at shutdown, through either door.
class ShutdownTest : public MainfrmLogicTest, public ::testing::WithParamInterface<bool> {
 protected:
  void Leave() {
    rig_.timeline.Clear();
    if (GetParam()) {
      rig_.logic.Cmd_Exit_Click();
      EXPECT_TRUE(rig_.program.ended);
    } else {
      rig_.logic.Form_Unload();
      EXPECT_FALSE(rig_.program.ended);
    }
    // Whatever happens afterwards, the link is closed once only.
    rig_.logic.Form_Unload();
  }
};

TEST_P(ShutdownTest, ConnectedDeviceIsToldAndReleased) {
  LoadConnected();
  const hid::Handle write = rig_.logic.Link().writeHandle;
  const hid::Handle read = rig_.logic.Link().readHandle;
  Leave();
  EXPECT_EQ(Traffic(), (std::vector<Event>{
                           {0, "timer off"},
                           {0, "sleep 100"},
                           {100, "write 00 AA 00 00 00 00 /65"},
                           {100, "sleep 200"},
                           {300, "close " + std::to_string(write)},
                           {300, "close " + std::to_string(read)},
                       }));
  EXPECT_EQ(rig_.platform.Joystick(0).closeCommands, 1);
  EXPECT_EQ(rig_.platform.OpenHandleCount(), 0);
  EXPECT_FALSE(rig_.timer.Enabled());
}

TEST_P(ShutdownTest, NeverFoundDeviceGetsNothing) {
  rig_.platform.AddJoystick().present = false;
  Load();
  rig_.NextTick();
  Leave();
  EXPECT_EQ(Traffic(),
            (std::vector<Event>{{0, "timer off"}, {0, "sleep 100"}, {100, "sleep 200"}}));
  EXPECT_EQ(rig_.platform.listCalls, 1);
}

TEST_P(ShutdownTest, LostDeviceGetsOneSearchAndTheCloseWhenItIsBack) {
  LoadConnected();
  rig_.platform.Unplug(0);
  rig_.NextTick();
  ASSERT_FALSE(rig_.logic.Link().deviceConnected);
  const int scans = rig_.platform.listCalls;

  rig_.platform.Replug(0);
  Leave();
  EXPECT_EQ(rig_.platform.listCalls, scans + 1);
  EXPECT_EQ(rig_.platform.Joystick(0).closeCommands, 1);
  EXPECT_EQ(rig_.platform.OpenHandleCount(), 0);
}

TEST_P(ShutdownTest, LostDeviceStillAbsentGetsOneSearchOnly) {
  LoadConnected();
  rig_.platform.Unplug(0);
  rig_.NextTick();
  const int scans = rig_.platform.listCalls;
  Leave();
  EXPECT_EQ(rig_.platform.listCalls, scans + 1);
  EXPECT_EQ(rig_.platform.Joystick(0).closeCommands, 0);
  EXPECT_TRUE(rig_.timeline.Texts({"write"}).empty());
  EXPECT_EQ(rig_.platform.OpenHandleCount(), 0);
}

std::string DoorName(const ::testing::TestParamInfo<bool>& door) {
  return door.param ? "ExitButton" : "CloseBox";
}
INSTANTIATE_TEST_SUITE_P(BothDoors, ShutdownTest, ::testing::Bool(), DoorName);

// --device 2 while it is away: waited for by name, the other one never
// taken, found again in its port under a new node.
TEST(ChosenJoystickTest, TheChosenJoystickIsWaitedForAndFoundAgainInItsPort) {
  fakes::TempDir dir;
  fakes::AppRig rig(dir.path(), hid::NumberedJoystick{2, {"/dev/hidraw1", "1-2"}});
  rig.platform.AddJoystick().port = "1-1";
  rig.platform.AddJoystick().port = "1-2";
  rig.platform.Unplug(1);
  rig.logic.Form_Load();
  rig.NextTick();
  EXPECT_EQ(rig.window.log.back(), "  Waiting for joystick 2, port 1-2");
  rig.platform.AddJoystick().port = "1-2";  // as /dev/hidraw2
  rig.NextTick();
  EXPECT_EQ(rig.logic.Link().devicePath, "/dev/hidraw2");
}

// Without --device the title names the joystick only beside another.
TEST_F(MainfrmLogicTest, TheTitleNamesTheJoystickTakenWhenSeveralArePresent) {
  rig_.platform.AddJoystick().port = "1-3";
  rig_.platform.AddJoystick().port = "1-1";
  Load();
  rig_.NextTick();
  EXPECT_EQ(FollowedKey(rig_.logic.Following()), "1-3");
  rig_.platform.Unplug(1);
  rig_.platform.Unplug(0);
  rig_.NextTick();
  rig_.platform.Replug(0);
  rig_.NextTick();
  EXPECT_EQ(rig_.timeline.Texts({"title"}),
            (Lines{"title Trivexa \u2014 joystick 2, port 1-3", "title Trivexa"}));
}

TEST_F(MainfrmLogicTest, ALogOfMoreThanAHundredLinesIsClearedAfterARead) {
  LoadConnected();
  rig_.window.log.assign(99, "line");
  rig_.NextTick();
  EXPECT_EQ(rig_.window.log.size(), 99u);
  rig_.window.AppendLog("line 100");
  rig_.window.AppendLog("line 101");
  rig_.NextTick();
  EXPECT_TRUE(rig_.window.log.empty());
  // A failed wait's line is logged first, then goes with the full log.
  rig_.window.log.assign(100, "line");
  rig_.platform.Joystick(0).failWaits = true;
  rig_.timeline.Clear();
  rig_.NextTick();
  const Lines logged = rig_.timeline.Texts({"log", "clear log"});
  ASSERT_GE(logged.size(), 2u);
  EXPECT_EQ(Lines(logged.begin(), logged.begin() + 2),
            (Lines{"log Readfile undefined error", "clear log"}));
}

TEST_F(MainfrmLogicTest, ClearLogEmptiesTheLog) {
  rig_.window.AppendLog("one");
  rig_.logic.Clear_Click();
  EXPECT_TRUE(rig_.window.log.empty());
}

}  // namespace
}  // namespace trivexa::app
