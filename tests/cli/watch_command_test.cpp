#include <gtest/gtest.h>

#include <algorithm>

#include "cli/exit_codes.h"
#include "cli_rig.h"

namespace trivexa::cli {
namespace {

TEST(WatchCommandTest, OneLinePerChangeUntilStopped) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.stopWhen = [&] {
    if (rig.clock.NowMs() >= 2500) rig.platform.Joystick(0).positionX = 10;
    return rig.clock.NowMs() >= 4500;
  };
  EXPECT_EQ(rig.Run({"watch"}), kExitOk);
  EXPECT_EQ(rig.out.str(),
            "Joystick connected\n"
            "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n"
            " x=-300,y= 25\n"
            " x= 10,y= 25\n");
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
}

TEST(WatchCommandTest, PollsOnceASecondLikeTheWindow) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.stopWhen = [&] { return rig.clock.NowMs() >= 5000; };
  ASSERT_EQ(rig.Run({"watch"}), kExitOk);
  std::vector<std::int64_t> positionQueries;
  for (const fakes::Event& event : rig.timeline.Matching({"write 00 6A"})) {
    positionQueries.push_back(event.atMs);
  }
  ASSERT_GE(positionQueries.size(), 4u);
  for (std::size_t i = 1; i < positionQueries.size(); ++i) {
    EXPECT_EQ(positionQueries[i] - positionQueries[i - 1], 1000);
  }
  // The first poll (the third status query) comes a second after the
  // connection sequence's last read, as the window restarts its timer then.
  const auto traffic = rig.timeline.Matching({"write 00 5A", "read"});
  const auto polled =
      std::find_if(traffic.begin(), traffic.end(), [queries = 0](const fakes::Event& e) mutable {
        return e.what.starts_with("write 00 5A") && ++queries == 3;
      });
  ASSERT_NE(polled, traffic.end());
  EXPECT_EQ(polled->atMs - (polled - 1)->atMs, 1000);
}

TEST(WatchCommandTest, FollowsTheJoystickOutAndBackIn) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.stopWhen = [&] {
    const std::int64_t now = rig.clock.NowMs();
    if (now >= 1500 && now < 3500) rig.platform.Unplug(0);
    if (now >= 3500) rig.platform.Replug(0);
    return now >= 6000;
  };
  EXPECT_EQ(rig.Run({"watch"}), kExitOk);
  EXPECT_EQ(rig.out.str(),
            "Joystick connected\n"
            "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n"
            " x=-300,y= 25\n"
            "Joystick unconnected\n"
            "Joystick connected\n"
            "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127\n"
            " x=-300,y= 25\n");
  // The lost link's handles were closed before the search that found it again.
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
}

TEST(WatchCommandTest, JsonLinesCarryTheWholeState) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.stopWhen = [&] {
    if (rig.clock.NowMs() >= 1500) rig.platform.Unplug(0);
    return rig.clock.NowMs() >= 3000;
  };
  EXPECT_EQ(rig.Run({"watch", "--json"}), kExitOk);
  // Connected at once; the position comes with the first poll after it.
  EXPECT_EQ(rig.out.str(),
            R"({"version":2,"connected":true,"path":"/dev/hidraw0","number":1,"port":null})"
            "\n"
            R"({"version":2,"connected":true,"path":"/dev/hidraw0","number":1,"port":null,)"
            R"("status":"Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127",)"
            R"("position":" x=-300,y= 25","settings":{"deadZone":{"index":4,"text":"3.0deg"},)"
            R"("angleOffset":{"index":5,"text":"0"},"moveThreshold":{"index":0,"text":"1"},)"
            R"("interval":{"index":1,"text":"20ms"}},"rawX":128,"rawY":127,"x":-300,"y":25})"
            "\n"
            R"({"version":2,"connected":false})"
            "\n");
}

TEST(WatchCommandTest, WithoutTheJoystickItKeepsSearchingAndSendsNothing) {
  CliRig rig;
  rig.platform.AddOther(1, 2);
  rig.platform.AddJoystick().openable = false;
  rig.stopWhen = [&] { return rig.clock.NowMs() >= 3500; };
  EXPECT_EQ(rig.Run({"watch"}), kExitOk);
  EXPECT_EQ(rig.out.str(), "Joystick unconnected\n");
  // Told once, not every second.
  EXPECT_EQ(rig.err.str(),
            "trivexactl: the joystick at /dev/hidraw1 cannot be opened (open /dev/hidraw1: "
            "Permission denied); to fix: the fix\n");
  EXPECT_GE(rig.platform.listCalls, 3);
  EXPECT_TRUE(rig.Writes().empty());
}

TEST(WatchCommandTest, AReaderThatGoesAwayEndsItWithTheCloseCommand) {
  CliRig rig;
  rig.platform.AddJoystick();
  rig.out.setstate(std::ios::badbit);  // as writing into a closed pipe leaves it
  EXPECT_EQ(rig.Run({"watch"}), kExitOk);
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
}

}  // namespace
}  // namespace trivexa::cli
