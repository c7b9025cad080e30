#include "app/logic/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_hid_platform.h"

namespace trivexa::app {
namespace {

// Two joysticks plugged in the other way round from their nodes: number 1
// is the one at the lower port, /dev/hidraw2.
struct TwoJoysticks {
  TwoJoysticks() {
    platform.AddOther(0x046d, 0xc52b);
    platform.AddJoystick().port = "1-10";
    platform.AddJoystick().port = "1-2";
  }
  fakes::Timeline timeline;
  fakes::FakeClock clock{timeline};
  fakes::FakeHidPlatform platform{timeline, clock};
};

// Everything that refuses a start: the status, the message, and that no
// joystick was opened or written to on the way.
TEST(CommandLineTest, ABadChoiceRefusesTheStartWithTrivexactlsStatusAndWords) {
  struct Case {
    std::vector<std::string_view> arguments;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--device", "0"}, 2, "--device 0: joysticks are numbered from 1\nTry 'trivexa --help'."},
      {{"--device"},
       2,
       "--device needs a joystick's number or path, as 'trivexactl list' shows them\n"
       "Try 'trivexa --help'."},
      {{"--device", "--help"},
       2,
       "--device needs a joystick's number or path, as 'trivexactl list' shows them\n"
       "Try 'trivexa --help'."},
      {{"--device=99999999999"},
       2,
       "--device 99999999999: too large for a joystick's number\nTry 'trivexa --help'."},
      {{"--device", "1", "--device", "2"}, 2, "--device given twice\nTry 'trivexa --help'."},
      {{"--devise", "2"}, 2, "unknown option '--devise'\nTry 'trivexa --help'."},
      {{"2"}, 2, "unexpected argument '2'\nTry 'trivexa --help'."},
      {{"--device", "9"},
       1,
       "no joystick 9; present: 1 (port 1-2, /dev/hidraw2), 2 (port 1-10, /dev/hidraw1)."},
      {{"--device=/dev/hidraw0"},
       1,
       "no joystick at /dev/hidraw0; present: 1 (port 1-2, /dev/hidraw2), 2 (port 1-10, "
       "/dev/hidraw1)."},
  };
  for (const Case& test : cases) {
    TwoJoysticks machine;
    const ParsedWindowArguments parsed = ParseWindowArguments(test.arguments);
    const StartRefusal refusal =
        parsed.arguments ? ChooseJoystick(machine.platform, parsed.arguments->device).refusal
                         : parsed.refusal;
    EXPECT_EQ(refusal.status, test.status) << test.message;
    EXPECT_EQ(refusal.message, test.message);
    EXPECT_EQ(machine.platform.opens, 0) << test.message;
    EXPECT_TRUE(machine.timeline.Texts({"write"}).empty()) << test.message;
  }
}

TEST(CommandLineTest, ASecondLaunchSaysWhenTheRunningWindowIsForAnotherJoystick) {
  TwoJoysticks machine;
  const hid::DeviceChoice two = 2u;
  EXPECT_EQ(SecondLaunchNotice(machine.platform, two, "1-10"), "");
  EXPECT_EQ(SecondLaunchNotice(machine.platform, two, "1-2"),
            "the running window is for joystick 1, port 1-2, not joystick 2, port 1-10; close "
            "it first to choose another.");
  EXPECT_EQ(SecondLaunchNotice(machine.platform, hid::DeviceChoice(7u), "1-2"),
            "no joystick 7; present: 1 (port 1-2, /dev/hidraw2), 2 (port 1-10, /dev/hidraw1). "
            "The running window stays as it is.");
  EXPECT_EQ(machine.platform.opens, 0);
}

}  // namespace
}  // namespace trivexa::app
