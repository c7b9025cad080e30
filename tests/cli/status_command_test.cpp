#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli_rig.h"

namespace trivexa::cli {
namespace {

using fakes::Event;

TEST(StatusCommandTest, PrintsBothLinesAsTheWindowShowsThem) {
  CliRig rig;
  rig.platform.AddJoystick();
  EXPECT_EQ(rig.Run({"status"}), kExitOk);
  EXPECT_EQ(rig.out.str(),
            "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n"
            " x=-300,y= 25\n");
  EXPECT_EQ(rig.err.str(), "");
}

TEST(StatusCommandTest, RunsTheConnectionSequenceThenOnePollThenCloses) {
  CliRig rig;
  rig.platform.AddOther(0x046D, 0xC52B);
  rig.platform.AddJoystick();
  ASSERT_EQ(rig.Run({"status"}), kExitOk);

  // The window's traffic and pauses: discovery (100 ms per probe), a status
  // query read at once, the queue drained, a status query 30 ms before its
  // read, then the poll tick, then the close command between 100 and 200 ms.
  EXPECT_EQ(
      rig.timeline.Texts({"write", "sleep", "close", "read"}),
      (std::vector<std::string>{"sleep 100", "close 100", "sleep 100",                // discovery
                                "write 00 5A 00 00 00 00 /65", "read 0",              // connection
                                "write 00 5A 00 00 00 00 /65", "sleep 30", "read 9",  //
                                "write 00 5A 00 00 00 00 /65", "sleep 30", "read 9",  // poll
                                "write 00 6A 00 00 00 00 /65", "sleep 30", "read 9",  //
                                "sleep 100", "write 00 AA 00 00 00 00 /65", "sleep 200",  // close
                                "close 101", "close 103"}));
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
}

TEST(StatusCommandTest, JsonHasEachSettingWithIndexAndText) {
  CliRig rig;
  rig.platform.AddJoystick().port = "3-1";
  rig.platform.Joystick(0).eeprom = {8, 10, 5, 7};  // 80ms: only the device has it
  rig.platform.Joystick(0).positionX = -32768;
  ASSERT_EQ(rig.Run({"status", "--json"}), kExitOk);
  EXPECT_EQ(rig.out.str(), R"({"version":2,"path":"/dev/hidraw0","number":1,"port":"3-1",)"
                           R"("status":"Current Status: 5.0deg, +5, 6, 80ms, X= 128,Y= 127",)"
                           R"("position":" x=-32768,y= 25",)"
                           R"("settings":{"deadZone":{"index":8,"text":"5.0deg"},)"
                           R"("angleOffset":{"index":10,"text":"+5"},)"
                           R"("moveThreshold":{"index":5,"text":"6"},)"
                           R"("interval":{"index":7,"text":"80ms"}},)"
                           R"("rawX":128,"rawY":127,"x":-32768,"y":25})"
                           "\n");
}

TEST(StatusCommandTest, IndexesThatNameNothingHaveNullText) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.platform.Joystick(0).eeprom = {9, 5, 200, 8};
  ASSERT_EQ(rig.Run({"status", "--json"}), kExitOk);
  EXPECT_NE(rig.out.str().find(R"("deadZone":{"index":9,"text":null})"), std::string::npos);
  EXPECT_NE(rig.out.str().find(R"("moveThreshold":{"index":200,"text":null})"), std::string::npos);
  EXPECT_NE(rig.out.str().find(R"("interval":{"index":8,"text":null})"), std::string::npos);
}

TEST(StatusCommandTest, ExitCodesOfTheFailures) {
  {
    SCOPED_TRACE("not found");
    CliRig rig;
    rig.platform.AddOther(1, 2);
    EXPECT_EQ(rig.Run({"status"}), kExitNotFound);
    EXPECT_EQ(rig.err.str(), "trivexactl: joystick not found (USB 0079:0026).\n");
    EXPECT_EQ(rig.out.str(), "");
    // Nothing was opened, so no close command and none of its pauses.
    EXPECT_TRUE(rig.timeline.Texts({"write", "sleep 200"}).empty());
  }
  {
    SCOPED_TRACE("cannot be opened, the program in a folder whose name retitles the terminal");
    CliRig rig;
    rig.environment.accessFix = [] { return std::string("sudo cp '/opt/\x1b]2;owned\x07/r'"); };
    rig.platform.AddOther(1, 2);
    rig.platform.AddJoystick().openable = false;
    EXPECT_EQ(rig.Run({"status"}), kExitCannotOpen);
    EXPECT_EQ(rig.err.str(),
              "trivexactl: the joystick at /dev/hidraw1 cannot be opened (open /dev/hidraw1: "
              "Permission denied); to fix: sudo cp '/opt/\\x1b]2;owned\\x07/r'\n");
    EXPECT_TRUE(rig.Writes().empty());
  }
  {
    SCOPED_TRACE("cannot be opened for another reason than access");
    CliRig rig;
    fakes::FakeInterface& joystick = rig.platform.AddJoystick();
    joystick.openable = false;
    joystick.openFailure = {"Device or resource busy", false};
    EXPECT_EQ(rig.Run({"status"}), kExitCannotOpen);
    EXPECT_EQ(rig.err.str(),
              "trivexactl: the joystick at /dev/hidraw0 cannot be opened (open /dev/hidraw0: "
              "Device or resource busy); to fix: unplug the joystick and plug it in again\n");
  }
  {
    SCOPED_TRACE("another vendor's unopenable device with the joystick's product id");
    CliRig rig;
    rig.platform.AddOther(0x1234, 0x0026).openable = false;
    rig.platform.AddOther(0x0079, 0x0027).openable = false;
    EXPECT_EQ(rig.Run({"status"}), kExitNotFound);
    EXPECT_EQ(rig.err.str(), "trivexactl: joystick not found (USB 0079:0026).\n");
  }
  {
    SCOPED_TRACE("an unopenable interface the system does not identify");
    CliRig rig;
    fakes::FakeInterface& joystick = rig.platform.AddJoystick();
    joystick.openable = false;
    joystick.identifiable = false;
    EXPECT_EQ(rig.Run({"status"}), kExitNotFound);
  }
  {
    SCOPED_TRACE("report lengths unreadable: taken for absent, and what was opened is closed");
    CliRig rig;
    rig.platform.AddJoystick().capsFail = true;
    EXPECT_EQ(rig.Run({"status"}), kExitNotFound);
    EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
  }
  {
    SCOPED_TRACE("busy: the holder's words, from a file anyone could write, are escaped");
    CliRig rig;
    rig.platform.AddJoystick();
    rig.environment.claimJoystick = [](std::string_view) {
      return JoystickClaim{JoystickClaim::kBusy, "trivexactl watch\x1b]0;owned\x07"};
    };
    EXPECT_EQ(rig.Run({"status"}), kExitBusy);
    EXPECT_EQ(rig.err.str(),
              "trivexactl: the joystick is busy: trivexactl watch\\x1b]0;owned\\x07 is using it; "
              "try again when it is done.\n");
    EXPECT_EQ(rig.platform.opens, 0);
  }
  {
    SCOPED_TRACE("silent");
    CliRig rig;
    rig.platform.AddJoystick();
    rig.platform.Joystick(0).silent = true;
    EXPECT_EQ(rig.Run({"status"}), kExitNoReply);
    EXPECT_EQ(rig.out.str(), "");
    EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);  // still told goodbye
  }
  {
    SCOPED_TRACE("lost during the connection sequence");
    CliRig rig;
    rig.platform.AddJoystick();
    rig.platform.Joystick(0).failWrites = true;
    EXPECT_EQ(rig.Run({"status"}), kExitNoReply);
    EXPECT_NE(rig.err.str().find("stopped answering"), std::string::npos);
  }
  {
    SCOPED_TRACE("usage");
    CliRig rig;
    rig.platform.AddJoystick();
    EXPECT_EQ(rig.Run({"status", "--save"}), kExitUsage);
    EXPECT_EQ(rig.platform.opens, 0);
  }
}

TEST(StatusCommandTest, WithTwoJoysticksTheFirstFoundIsNamedAndDeviceChoosesAnother) {
  struct Case {
    std::vector<std::string_view> arguments;
    int status;
    std::string out;
    std::string err;
    std::string_view neverOpened;  // the other joystick: nothing reaches it
  };
  const std::string first = "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n x=-300,y= 25\n";
  const std::string other = "Current Status: 5.0deg, +5, 6, 50ms, X= 128,Y= 127\n x=-300,y= 25\n";
  for (const Case& run : std::vector<Case>{
           {{"status"},
            kExitOk,
            first,
            "trivexactl: 2 joysticks are present; this is number 2 (port 1-3); choose one with "
            "--device.\n",
            "-"},
           {{"status", "--device", "1"}, kExitOk, other, "", "/dev/hidraw0"},
           {{"status", "--device", "/dev/hidraw0"}, kExitOk, first, "", "/dev/hidraw1"},
#ifdef _WIN32
           // Windows takes device paths in any case.
           {{"status", "--device", "/DEV/HIDRAW0"}, kExitOk, first, "", "/dev/hidraw1"},
#endif
           {{"status", "--device", "/dev/hidraw7"},
            kExitNotFound,
            "",
            "trivexactl: no joystick at /dev/hidraw7; present: 1 (port 1-1, /dev/hidraw1), 2 "
            "(port 1-3, /dev/hidraw0).\n",
            "/dev/hidraw0"},
       }) {
    SCOPED_TRACE(run.arguments.back());
    CliRig rig;
    rig.platform.AddJoystick().port = "1-3";
    rig.platform.AddJoystick().port = "1-1";
    rig.platform.Joystick(1).eeprom = {8, 10, 5, 4};
    EXPECT_EQ(rig.Run(run.arguments), run.status);
    EXPECT_EQ(rig.out.str(), run.out);
    EXPECT_EQ(rig.err.str(), run.err);
    EXPECT_EQ(std::count(rig.platform.openedPaths.begin(), rig.platform.openedPaths.end(),
                         run.neverOpened),
              0);
  }
}

TEST(StatusCommandTest, RefusesWhileTheWindowRunsWithoutTouchingTheDevice) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.windowRunning = true;
  EXPECT_EQ(rig.Run({"status"}), kExitWindowRunning);
  EXPECT_NE(rig.err.str().find("window is running"), std::string::npos);
  EXPECT_EQ(rig.platform.listCalls, 0);
  EXPECT_EQ(rig.platform.opens, 0);
}

TEST(StatusCommandTest, AStopDuringDiscoveryStillSendsTheCloseCommand) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.stopWhen = [] { return true; };  // Ctrl+C arrived while discovery ran
  EXPECT_EQ(rig.Run({"status"}), kExitInterrupted);
  EXPECT_EQ(rig.out.str(), "");
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
  EXPECT_EQ(rig.timeline.Texts({"write"}).back(), "write 00 AA 00 00 00 00 /65");
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace trivexa::cli
