// The shipped program, unmodified, under Qt's offscreen platform with the
// virtual joystick. Order and counts are exact; times have slack for a
// busy machine.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "vjoy/harness.h"

namespace trivexa::e2e {
namespace {

using namespace std::chrono_literals;
using vjoy::testing::Only;
using vjoy::testing::RunOptions;
using vjoy::testing::VjoyRun;

constexpr std::uint8_t kStatus = 0x5A;
constexpr std::uint8_t kPosition = 0x6A;
constexpr std::uint8_t kClose = 0xAA;

// Lines of the log in a failure message, to see what happened.
std::string Dump(const std::vector<LogEntry>& log) {
  std::string text;
  for (const LogEntry& entry : log) text += entry.line.substr(0, 110) + "\n";
  return text;
}

#define EXPECT_GAP(from, to, low, high)          \
  do {                                           \
    const double gap_ = (to) - (from);           \
    EXPECT_GE(gap_, (low)) << #from " -> " #to;  \
    EXPECT_LE(gap_, (high)) << #from " -> " #to; \
  } while (false)

std::uint8_t Tag(const LogEntry& read) { return read.bytes.size() > 3 ? read.bytes[3] : 0; }

RunOptions Options(const ProgramCopy& program) { return {program.Environment(), {}}; }

const char* const kOtherDeniedJoystick =
    "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
    "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" denied\n"
    "hidraw 2 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n";

TEST(ProgramE2eTest, FindsTheJoystickPastADeniedOneThenPollsItOnceASecond) {
  ProgramCopy program;
  VjoyRun run({program.Executable()}, kOtherDeniedJoystick, Options(program));
  // Three position replies read: three ticks after the connection.
  const bool polled = run.WaitForLog(
      [](const auto& log) {
        std::size_t positions = 0;
        for (const LogEntry& read : Only(log, "read", "hidraw2")) {
          if (Tag(read) == kPosition) ++positions;
        }
        return positions >= 3;
      },
      20s);
  run.Signal(SIGKILL);
  run.Wait(5s);
  const std::vector<LogEntry> log = run.Log();
  ASSERT_TRUE(polled) << run.Output() << Dump(log);

  // Discovery: one scan, the interfaces in order, the denied one skipped,
  // 100 ms per probed interface; the joystick opened for writing, then for
  // reading.
  const auto opens = Only(log, "open");
  ASSERT_EQ(opens.size(), 4u) << Dump(log);
  EXPECT_EQ(opens[0].node, "hidraw0");
  EXPECT_EQ(opens[0].detail, "flags=rw");
  EXPECT_EQ(opens[1].node, "hidraw1");
  EXPECT_EQ(opens[1].result, "err=EACCES");
  EXPECT_EQ(opens[2].node, "hidraw2");
  EXPECT_EQ(opens[2].detail, "flags=rw");
  EXPECT_EQ(opens[3].node, "hidraw2");
  EXPECT_EQ(opens[3].detail, "flags=rw,nonblock");
  // The first tick comes about a second after the window is made.
  EXPECT_GAP(0.0, opens[0].ms, 800.0, 4000.0);
  EXPECT_GAP(opens[0].ms, opens[1].ms, 95.0, 400.0);
  EXPECT_GAP(opens[1].ms, opens[2].ms, 95.0, 400.0);
  EXPECT_GAP(opens[2].ms, opens[3].ms, 95.0, 400.0);
  EXPECT_EQ(Only(log, "close").size(), 1u);
  EXPECT_EQ(Only(log, "close", "hidraw0").size(), 1u);
  EXPECT_EQ(CloseFaults(log, {opens[2].fd, opens[3].fd}), std::vector<std::string>{});

  // Writes go to the plain handle, reads come from the other one.
  const int writeFd = opens[2].fd;
  const int readFd = opens[3].fd;
  std::vector<LogEntry> writes;
  std::vector<LogEntry> reads;
  for (const LogEntry& call : Calls(log, "hidraw2")) {
    if (call.op == "write") writes.push_back(call);
    if (call.op == "read") reads.push_back(call);
  }
  for (const LogEntry& write : writes) {
    EXPECT_EQ(write.fd, writeFd) << write.line;
    EXPECT_EQ(write.bytes.size(), 65u) << write.line;
  }
  for (const LogEntry& read : reads) EXPECT_EQ(read.fd, readFd) << read.line;

  // The connection sequence: a status query, the queue drained (the reply
  // read at once, then a 100 ms wait for nothing), a second status query
  // and its read 30 ms later.
  ASSERT_GE(writes.size(), 8u) << Dump(log);
  EXPECT_EQ(writes[0].Command(), kStatus);
  EXPECT_EQ(writes[1].Command(), kStatus);
  EXPECT_GAP(opens[3].ms, writes[0].ms, 0.0, 150.0);
  EXPECT_GAP(writes[0].ms, writes[1].ms, 95.0, 300.0);
  std::vector<LogEntry> drained;
  for (const LogEntry& read : reads) {
    if (read.ms > writes[0].ms && read.ms < writes[1].ms) drained.push_back(read);
  }
  ASSERT_EQ(drained.size(), 1u) << Dump(log);
  EXPECT_EQ(Tag(drained[0]), kStatus);
  const LogEntry* second = FirstAfter(reads, writes[1].ms);
  ASSERT_NE(second, nullptr);
  EXPECT_GAP(writes[1].ms, second->ms, 25.0, 80.0);
  EXPECT_EQ(Tag(*second), kStatus);

  // Then each tick: one status query and one position query, in that order,
  // each read 30 ms after its write; one tick a second.
  for (std::size_t i = 2; i + 1 < writes.size(); i += 2) {
    SCOPED_TRACE("tick starting with write " + std::to_string(i));
    EXPECT_EQ(writes[i].Command(), kStatus);
    EXPECT_EQ(writes[i + 1].Command(), kPosition);
    // From the previous tick's status query, or from the end of the
    // connection sequence, which starts a fresh interval.
    EXPECT_GAP(writes[i == 2 ? 1 : i - 2].ms, writes[i].ms, 900.0, 1600.0);
    const LogEntry* statusRead = FirstAfter(reads, writes[i].ms);
    const LogEntry* positionRead = FirstAfter(reads, writes[i + 1].ms);
    ASSERT_NE(statusRead, nullptr);
    ASSERT_NE(positionRead, nullptr);
    EXPECT_LT(statusRead->ms, writes[i + 1].ms);
    EXPECT_GAP(writes[i].ms, statusRead->ms, 25.0, 80.0);
    EXPECT_GAP(writes[i + 1].ms, positionRead->ms, 25.0, 80.0);
    EXPECT_EQ(Tag(*statusRead), kStatus);
    EXPECT_EQ(Tag(*positionRead), kPosition);
  }
  // One read per query after the drain: nothing is read twice or skipped.
  EXPECT_EQ(reads.size(), writes.size());
}

TEST(ProgramE2eTest, UnplugClosesEveryNodeOnceAndReplugConnectsAgain) {
  ProgramCopy program;
  VjoyRun run({program.Executable()},
              "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
              "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n"
              "unplug 1 after=0x6a*2+300\n"
              "replug 1 after=unplug+1500\n",
              Options(program));
  const bool back = run.WaitForLog(
      [](const auto& log) { return Writes(log, "hidraw1", kPosition).size() >= 3; }, 30s);
  run.Signal(SIGKILL);
  run.Wait(5s);
  const std::vector<LogEntry> log = run.Log();
  ASSERT_TRUE(back) << run.Output() << Dump(log);
  ASSERT_EQ(Only(log, "unplug").size(), 1u);
  ASSERT_EQ(Only(log, "replug").size(), 1u);
  const double unplugged = Only(log, "unplug")[0].ms;
  const double replugged = Only(log, "replug")[0].ms;

  std::vector<LogEntry> joystickOpens;
  for (const LogEntry& open : Only(log, "open", "hidraw1")) {
    EXPECT_FALSE(open.Failed()) << open.line;
    joystickOpens.push_back(open);
  }
  // Opened twice (write and read handles) before the unplug and twice after
  // the replug; never while it was away.
  ASSERT_EQ(joystickOpens.size(), 4u) << Dump(log);
  EXPECT_LT(joystickOpens[1].ms, unplugged);
  EXPECT_GT(joystickOpens[2].ms, replugged);

  // The first write after the unplug fails; both old handles are closed
  // exactly once, before the joystick is back.
  const LogEntry* failed = FirstAfter(Only(log, "write", "hidraw1"), unplugged);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->result, "err=ENODEV");
  const auto closes = Only(log, "close", "hidraw1");
  ASSERT_EQ(closes.size(), 2u) << Dump(log);
  for (const LogEntry& close : closes) {
    EXPECT_GT(close.ms, unplugged);
    EXPECT_LT(close.ms, replugged);
  }
  EXPECT_EQ(CloseFaults(log, {joystickOpens[2].fd, joystickOpens[3].fd}),
            std::vector<std::string>{});

  // While it is away, the other interface is probed about once a second.
  std::vector<double> scans;
  for (const LogEntry& open : Only(log, "open", "hidraw0")) {
    if (open.ms > unplugged && open.ms < replugged) scans.push_back(open.ms);
  }
  EXPECT_GE(scans.size(), 1u);
  EXPECT_LE(scans.size(), 3u);

  // After the replug: the connection sequence again, then polling.
  const auto after = Writes(log, "hidraw1", kStatus);
  const LogEntry* reconnect = FirstAfter(after, replugged);
  ASSERT_NE(reconnect, nullptr);
  EXPECT_GAP(joystickOpens[3].ms, reconnect->ms, 0.0, 150.0);
  EXPECT_EQ(Only(log, "write", "hidraw0").size(), 0u);
}

// SIGTERM ends the program as its close box does: one close command.
TEST(ProgramE2eTest, SigtermSendsTheCloseCommandOnceAndClosesBothNodes) {
  ProgramCopy program;
  VjoyRun run({program.Executable()},
              "hidraw 0 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n",
              Options(program));
  ASSERT_TRUE(run.WaitForLog(
      [](const auto& log) { return Writes(log, "hidraw0", kPosition).size() >= 1; }, 20s))
      << run.Output();
  run.Signal(SIGTERM);
  const auto status = run.Wait(10s);
  const std::vector<LogEntry> log = run.Log();
  ASSERT_TRUE(status.has_value()) << Dump(log);
  EXPECT_EQ(*status, 0);
  const auto closeCommands = Writes(log, "hidraw0", kClose);
  ASSERT_EQ(closeCommands.size(), 1u) << Dump(log);
  const auto closes = Only(log, "close", "hidraw0");
  ASSERT_EQ(closes.size(), 2u) << Dump(log);
  EXPECT_GAP(closeCommands[0].ms, closes[0].ms, 195.0, 600.0);
  EXPECT_EQ(CloseFaults(log), std::vector<std::string>{});
}

}  // namespace
}  // namespace trivexa::e2e
