#include "app/logic/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_hid_platform.h"

namespace trivexa::app {
namespace {

// Number 1 is the joystick at the lower port, /dev/hidraw1.
struct TwoJoysticks {
  TwoJoysticks() {
    platform.AddJoystick().port = "1-10";
    platform.AddJoystick().port = "1-2";
  }
  fakes::Timeline timeline;
  fakes::FakeClock clock{timeline};
  fakes::FakeHidPlatform platform{timeline, clock};
};
const std::string kPresent = "present: 1 (port 1-2, /dev/hidraw1), 2 (port 1-10, /dev/hidraw0).";

// Every start refused: trivexactl's status and words, nothing opened.
TEST(CommandLineTest, ABadChoiceRefusesTheStartWithTrivexactlsStatusAndWords) {
  const std::string usage = "\nTry 'trivexa --help'.";
  const struct {
    std::vector<std::string_view> arguments;
    int status;
    std::string message;
  } cases[] = {
      {{"--device", "0"}, 2, "--device 0: joysticks are numbered from 1" + usage},
      {{"--device"},
       2,
       "--device needs a joystick's number or path, as 'trivexactl list' shows them" + usage},
      {{"--device", "1", "--device=2"}, 2, "--device given twice" + usage},
      {{"--devise", "2"}, 2, "unknown option '--devise'" + usage},
      {{"2"}, 2, "unexpected argument '2'" + usage},
      {{"--device", "9"}, 1, "no joystick 9; " + kPresent},
      {{"--device=/dev/hidraw7"}, 1, "no joystick at /dev/hidraw7; " + kPresent},
  };
  for (const auto& test : cases) {
    TwoJoysticks machine;
    const ParsedWindowArguments parsed = ParseWindowArguments(test.arguments);
    const StartRefusal refusal =
        parsed.arguments ? ChooseJoystick(machine.platform, parsed.arguments->device).refusal
                         : parsed.refusal;
    EXPECT_EQ(refusal.status, test.status) << test.message;
    EXPECT_EQ(refusal.message, test.message);
    EXPECT_EQ(machine.platform.opens, 0) << test.message;  // so nothing was sent
  }
}

TEST(CommandLineTest, ASecondLaunchSaysWhenTheRunningWindowIsForAnotherJoystick) {
  TwoJoysticks machine;
  EXPECT_EQ(SecondLaunchNotice(machine.platform, 2u, "1-10"), "");
  EXPECT_EQ(SecondLaunchNotice(machine.platform, 2u, "1-2"),
            "the running window is for joystick 1, port 1-2, not joystick 2, port 1-10; close "
            "it first to choose another.");
  EXPECT_EQ(SecondLaunchNotice(machine.platform, 7u, "1-2"),
            "no joystick 7; " + kPresent + " The running window stays as it is.");
  EXPECT_EQ(machine.platform.opens, 0);
}

}  // namespace
}  // namespace trivexa::app
