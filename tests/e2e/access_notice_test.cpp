// The shipped program tells on standard error why a joystick it can see
// cannot be opened: once, however many scans fail, and never about other
// devices.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "e2e/e2e_support.h"
#include "vjoy/harness.h"

namespace trivexa::e2e {
namespace {

using namespace std::chrono_literals;
using vjoy::testing::Only;
using vjoy::testing::VjoyRun;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(AccessNoticeE2eTest, ADeniedJoystickIsExplainedOnceOnStandardError) {
  ProgramCopy program;
  VjoyRun run({program.Executable()},
              "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\" denied\n"
              "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" denied\n",
              {program.Environment(), {}});
  // Three scans, each refused the joystick.
  const bool scanned =
      run.WaitForLog([](const auto& log) { return Only(log, "open", "hidraw1").size() >= 3; }, 20s);
  run.Signal(SIGKILL);
  run.Wait(5s);
  const std::string output = run.Output();
  ASSERT_TRUE(scanned) << output;

  EXPECT_EQ(Count(output, "trivexa: the joystick at"), 1u) << output;
  EXPECT_EQ(Count(output,
                  "trivexa: the joystick at /dev/hidraw1 cannot be opened "
                  "(open /dev/hidraw1: Permission denied); to fix: "),
            1u)
      << output;
  EXPECT_NE(output.find("udevadm control --reload-rules"), std::string::npos) << output;
  EXPECT_EQ(output.find("hidraw0"), std::string::npos) << output;
}

TEST(AccessNoticeE2eTest, ANoticeIntoAPipeNobodyReadsDoesNotEndTheWindow) {
  ProgramCopy program;
  // Standard error is a pipe whose reader has gone, as after `| head`.
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  VjoyRun run({"/bin/sh", "-c", "exec \"$0\" 2>&" + std::to_string(ends[1]), program.Executable()},
              "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" denied\n",
              {program.Environment(), {}});
  ::close(ends[1]);
  const bool scanned =
      run.WaitForLog([](const auto& log) { return Only(log, "open", "hidraw1").size() >= 3; }, 20s);
  run.Signal(SIGTERM);
  EXPECT_EQ(run.Wait(10s), 0) << "ended by SIGPIPE: 141";
  EXPECT_TRUE(scanned) << run.Output();
}

}  // namespace
}  // namespace trivexa::e2e
