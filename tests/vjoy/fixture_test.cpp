// The fixture seen from a program: a probe makes the raw calls and the
// answers are compared with what the kernel's hidraw driver gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "descriptors.h"
#include "vjoy/harness.h"

namespace vjoy::testing {
namespace {

const std::string kTwoInterfaces =
    "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\"\n"
    "hidraw 1 vendor=0x0079 product=0x0026 name=\"USB Joystick\" firmware\n";

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char pair[3];
  for (std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof(pair), "%02x", byte);
    text += pair;
  }
  return text;
}

// A command report as the tool writes it: report ID 0, the code, zeros to 65.
std::string Command(const std::string& codeHex) { return "write 0 00" + codeHex + " 65"; }

TEST(FixtureSysfsTest, ShowsEachInterfaceWhereUdevAndTheKernelPutIt) {
  const ProbeResult result = RunProbe(
      kTwoInterfaces,
      {"ls /sys/class/hidraw", "cat /sys/class/hidraw/hidraw1/device/uevent",
       "hexcat /sys/class/hidraw/hidraw1/device/report_descriptor",
       "cat /sys/class/hidraw/hidraw1/device/../../idVendor",
       "cat /sys/class/hidraw/hidraw1/device/../../idProduct",
       "cat /sys/class/hidraw/hidraw1/device/../../product", "cat /sys/class/hidraw/hidraw1/uevent",
       "cat /sys/class/hidraw/hidraw1/dev", "realpath /sys/dev/char/241:1", "stat /dev/hidraw1",
       "stat /dev/hidraw5", "ls /sys/class/hidraw/hidraw1/device/../.."});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.Answer(0), "hidraw0 hidraw1");
  EXPECT_EQ(result.Answer(1),
            "DRIVER=hid-generic|HID_ID=0003:00000079:00000026|HID_NAME=USB Joystick|"
            "HID_PHYS=usb-vjoy-2/input0|HID_UNIQ=|MODALIAS=hid:b0003g0001v00000079p00000026|");
  EXPECT_EQ(result.Answer(2), Hex(*PresetDescriptor("joystick")));
  EXPECT_EQ(result.Answer(3), "0079|");
  EXPECT_EQ(result.Answer(4), "0026|");
  EXPECT_EQ(result.Answer(5), "USB Joystick|");
  EXPECT_EQ(result.Answer(6), "MAJOR=241|MINOR=1|DEVNAME=hidraw1|");
  EXPECT_EQ(result.Answer(7), "241:1|");
  EXPECT_EQ(result.Answer(8),
            "/sys/devices/vjoy/usb1/1-2/1-2:1.0/0003:0079:0026.0002/hidraw/hidraw1");
  EXPECT_EQ(result.Answer(9), "chr 241:1");
  EXPECT_EQ(result.Answer(10), "err=ENOENT");
  EXPECT_NE(result.Answer(11).find("idVendor"), std::string::npos);
}

// What Wine's HID bus does in its direct hidraw mode: list /dev for hidraw
// nodes and ask libudev about each by its device number.
TEST(FixtureSysfsTest, ListsTheNodesInDevAndAnswersLibudevLikeUdev) {
  const ProbeResult result = RunProbe(kTwoInterfaces + "unplug 0 at=0\n",
                                      {"sleep 100", "ls /dev hidraw", "udev 241:1", "udev 241:0"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.Answer(1), "hidraw1");
  EXPECT_EQ(result.Answer(2),
            "/sys/devices/vjoy/usb1/1-2/1-2:1.0/0003:0079:0026.0002/hidraw/hidraw1 /dev/hidraw1 "
            "0003:00000079:00000026 USB Joystick 0079 0026 USB Joystick");
  EXPECT_EQ(result.Answer(3).rfind("err=", 0), 0u) << result.Answer(3);
}

// Without udevd, Wine's HID bus learns of an unplug from an inotify watch
// on /dev: the node must leave and come back there too.
TEST(FixtureSysfsTest, AWatchOnDevSeesAnUnplugAndAReplug) {
  const ProbeResult result =
      RunProbe(kTwoInterfaces + "unplug 1 at=300\nreplug 1 after=unplug+200\n",
               {"watchdev", "devevents 1500"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.Answer(0), "ok");
  EXPECT_EQ(result.Answer(1), "delete hidraw1 create hidraw1");
}

TEST(FixtureNodeTest, AnswersTheHidrawIoctlsAsTheKernelDoes) {
  const ProbeResult result =
      RunProbe(kTwoInterfaces, {"open 0 /dev/hidraw1", "info 0", "name 0", "name 0 5", "desc 0",
                                "fstat 0", "open 1 /dev/hidraw0", "info 1", "close 0"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.Answer(1), "bus=3 vendor=0079 product=0026");
  EXPECT_EQ(result.Answer(2), "13 USB Joystick<nul>");
  // A buffer too short for the name gets its head, without terminator.
  EXPECT_EQ(result.Answer(3), "5 USB J");
  EXPECT_EQ(result.Answer(4), "27 " + Hex(*PresetDescriptor("joystick")));
  EXPECT_EQ(result.Answer(5), "chr 241:1");
  EXPECT_EQ(result.Answer(7), "bus=3 vendor=046d product=c52b");

  const auto ioctls = Only(result.log, "ioctl", "hidraw1");
  ASSERT_EQ(ioctls.size(), 5u);
  EXPECT_EQ(ioctls[0].detail, "HIDIOCGRAWINFO");
  EXPECT_EQ(ioctls[3].detail, "HIDIOCGRDESCSIZE");
  EXPECT_EQ(ioctls[3].result, "0");
  EXPECT_EQ(Only(result.log, "close", "hidraw1").size(), 1u);
}

TEST(FixtureNodeTest, HandsOutOneReportPerReadWithoutTheZeroReportId) {
  const ProbeResult result =
      RunProbe(kTwoInterfaces, {"open 0 /dev/hidraw1 nb", Command("5a"), Command("6a"), "poll 0 0",
                                "read 0 64", "read 0 3", "read 0 64", "poll 0 0"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.Answer(1), "65");
  EXPECT_EQ(result.Answer(3), "IN");
  EXPECT_EQ(result.Answer(4), "807f005a04050001");
  // A short buffer takes the head of the next report; the rest is gone.
  EXPECT_EQ(result.Answer(5), "000000");
  EXPECT_EQ(result.Answer(6), "err=EAGAIN");
  EXPECT_EQ(result.Answer(7), "none");

  const auto writes = Only(result.log, "write", "hidraw1");
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].bytes.size(), 65u);
  EXPECT_EQ(writes[0].Command(), 0x5A);
  EXPECT_EQ(writes[1].Command(), 0x6A);
}

TEST(FixtureNodeTest, NumberedReportsKeepTheirIdOnRead) {
  const ProbeResult result = RunProbe("hidraw 0 vendor=0x79 product=0x26 firmware reportid=7\n",
                                      {"open 0 /dev/hidraw0 nb", "write 0 075a 65", "read 0 64"});
  EXPECT_EQ(result.Answer(2), "07807f005a04050001");
}

TEST(FixtureNodeTest, GivesEveryOpenFileItsOwnQueueThatDropsNewReportsWhenFull) {
  const ProbeResult result = RunProbe(
      "hidraw 0 vendor=0x79 product=0x26 firmware queue=3\n",
      {"open 0 /dev/hidraw0 nb", "open 1 /dev/hidraw0 nb", "write 0 005a 65", "write 0 006a 65",
       "write 0 005a 65", "write 0 006a 65", "read 1 64", "drain 1", "drain 0"});
  ASSERT_EQ(result.status, 0);
  // The oldest report is kept; the fourth did not fit.
  EXPECT_EQ(result.Answer(6), "807f005a04050001");
  EXPECT_EQ(result.Answer(7), "2");
  EXPECT_EQ(result.Answer(8), "3");
  EXPECT_EQ(Only(result.log, "drop").size(), 2u);
}

TEST(FixtureNodeTest, RefusesWritesTheKernelRefuses) {
  const ProbeResult result = RunProbe(kTwoInterfaces, {"open 0 /dev/hidraw1 ro", "write 0 005a 65",
                                                       "open 1 /dev/hidraw1", "write 1 00"});
  EXPECT_EQ(result.Answer(1), "err=EBADF");
  EXPECT_EQ(result.Answer(3), "err=EINVAL");
  // Neither write reached the firmware.
  EXPECT_EQ(Only(result.log, "report").size(), 0u);
}

TEST(FixtureNodeTest, DeniedInterfaceFailsToOpenWithEacces) {
  const ProbeResult result = RunProbe(
      "hidraw 0 vendor=0x79 product=0x26 firmware denied\n",
      {"ls /sys/class/hidraw", "access /dev/hidraw0", "open 0 /dev/hidraw0", "stat /dev/hidraw0"});
  EXPECT_EQ(result.Answer(0), "hidraw0");
  EXPECT_EQ(result.Answer(1), "err=EACCES");
  EXPECT_EQ(result.Answer(2), "err=EACCES");
  EXPECT_EQ(result.Answer(3), "chr 241:0");
  const auto opens = Only(result.log, "open");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].result, "err=EACCES");
}

TEST(FixtureFirmwareTest, DelaysItsReplyAndCanStayQuiet) {
  const ProbeResult result = RunProbe(
      "hidraw 0 vendor=0x79 product=0x26 firmware delay=150\n"
      "hidraw 1 vendor=0x79 product=0x26 firmware silent\n",
      {"open 0 /dev/hidraw0 nb", "write 0 005a 65", "poll 0 0", "poll 0 2000",
       "open 1 /dev/hidraw1 nb", "write 1 005a 65", "poll 1 200"});
  EXPECT_EQ(result.Answer(2), "none");
  EXPECT_EQ(result.Answer(3), "IN");
  EXPECT_EQ(result.Answer(6), "none");
  const auto write = Only(result.log, "write", "hidraw0").at(0);
  const auto report = Only(result.log, "report", "hidraw0").at(0);
  EXPECT_GE(report.ms - write.ms, 145.0);
  EXPECT_LE(report.ms - write.ms, 1500.0);
}

TEST(FixtureFirmwareTest, StreamsPositionReportsUnasked) {
  const ProbeResult result = RunProbe("hidraw 0 vendor=0x79 product=0x26 firmware stream=20\n",
                                      {"open 0 /dev/hidraw0 nb", "sleep 300", "read 0 64"});
  EXPECT_EQ(result.Answer(2),
            "000000"
            "6ad4fe1900");
  EXPECT_GE(Only(result.log, "report").size(), 3u);
}

TEST(FixturePlugTest, UnplugKillsOpenFilesAndReplugBringsTheNodeBack) {
  const ProbeResult result =
      RunProbe(kTwoInterfaces + "unplug 1 after=0x5a*1+50\nreplug 1 after=unplug+300\n",
               {"open 0 /dev/hidraw1 nb", Command("5a"), "sleep 150", "poll 0 0", "read 0 64",
                "read 0 64", "poll 0 1000", Command("6a"), "info 0", "ls /sys/class/hidraw",
                "open 1 /dev/hidraw1", "sleep 600", "ls /sys/class/hidraw", "poll 0 0",
                "open 2 /dev/hidraw1 nb", "write 2 006a 65", "close 0", "close 2"});
  ASSERT_EQ(result.status, 0);
  // What was queued before the unplug is still read, then reads fail.
  EXPECT_EQ(result.Answer(3), "IN ERR HUP");
  EXPECT_EQ(result.Answer(4), "807f005a04050001");
  EXPECT_EQ(result.Answer(5), "err=EIO");
  EXPECT_EQ(result.Answer(6), "ERR HUP");
  EXPECT_EQ(result.Answer(7), "err=ENODEV");
  EXPECT_EQ(result.Answer(8), "err=ENODEV");
  EXPECT_EQ(result.Answer(9), "hidraw0");
  EXPECT_EQ(result.Answer(10), "err=ENOENT");
  EXPECT_EQ(result.Answer(12), "hidraw0 hidraw1");
  // The old file stays dead after the replug; a new one works.
  EXPECT_EQ(result.Answer(13), "ERR HUP");
  EXPECT_EQ(result.Answer(14), "ok");
  EXPECT_EQ(result.Answer(15), "65");

  ASSERT_EQ(Only(result.log, "unplug").size(), 1u);
  ASSERT_EQ(Only(result.log, "replug").size(), 1u);
  const double unplugged = Only(result.log, "unplug")[0].ms;
  EXPECT_GE(unplugged - Only(result.log, "write")[0].ms, 45.0);
  EXPECT_GE(Only(result.log, "replug")[0].ms - unplugged, 295.0);
  EXPECT_EQ(Only(result.log, "close", "hidraw1").size(), 2u);
}

TEST(FixturePlugTest, TheDeviceKeepsItsEepromAndItsSysfsEntriesGoWhileAway) {
  const ProbeResult result = RunProbe(
      "hidraw 0 vendor=0x79 product=0x26 firmware\n"
      "unplug 0 after=0x3a*1+0\nreplug 0 after=unplug+300\n",
      {"open 0 /dev/hidraw0 nb", "write 0 003a080a0504 65", "sleep 100",
       "cat /sys/class/hidraw/hidraw0/device/uevent", "stat /dev/hidraw0", "ls /dev hidraw",
       "sleep 600", "open 1 /dev/hidraw0 nb", "write 1 005a 65", "read 1 64"});
  EXPECT_EQ(result.Answer(3), "err=ENOENT");
  EXPECT_EQ(result.Answer(4), "err=ENOENT");
  EXPECT_EQ(result.Answer(5), "");
  EXPECT_EQ(result.Answer(9), "807f005a080a0504");
  const auto firmware = Only(result.log, "firmware");
  ASSERT_EQ(firmware.size(), 1u);
  EXPECT_EQ(firmware[0].detail, "eeprom=8,10,5,4");
}

// As usbhid: only a zero report ID stays off the wire, so a report written
// without one reaches an unnumbered device whole.
TEST(FixtureNodeTest, OnlyAZeroReportIdIsDroppedOnTheWayToTheDevice) {
  const ProbeResult result = RunProbe(
      "hidraw 0 vendor=0x79 product=0x26 firmware\n",
      {"open 0 /dev/hidraw0 nb", "write 0 5a 64", "read 0 64", "write 0 6a5a 64", "read 0 64"});
  EXPECT_EQ(result.Answer(1), "64");
  EXPECT_EQ(result.Answer(2), "807f005a04050001");
  // The device saw 6A first, not the 5A behind it.
  EXPECT_EQ(result.Answer(4), "0000006ad4fe1900");
}

TEST(FixtureLogTest, LogsEveryCallOnANodeWithItsDescriptor) {
  const ProbeResult result = RunProbe(
      kTwoInterfaces, {"open 0 /dev/hidraw1 nb", "info 0", Command("5a"), "read 0 64", "close 0"});
  std::vector<std::string> ops;
  for (const LogEntry& entry : result.log) {
    if (entry.op != "start") ops.push_back(entry.op);
  }
  EXPECT_EQ(ops, (std::vector<std::string>{"open", "ioctl", "write", "report", "read", "close"}));
  const int fd = result.log[1].fd;
  EXPECT_GE(fd, 0);
  for (const LogEntry& entry : result.log) {
    if (entry.op != "start" && entry.op != "report") {
      EXPECT_EQ(entry.fd, fd) << entry.line;
    }
    if (entry.op != "start") {
      EXPECT_EQ(entry.node, "hidraw1") << entry.line;
    }
  }
  for (std::size_t i = 1; i < result.log.size(); ++i) {
    EXPECT_GE(result.log[i].ms, result.log[i - 1].ms);
  }
}

TEST(FixtureLogTest, RemovesTheTreesOfKilledProcessesButNoneOfTheLiving) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vjoy-trees-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "vjoy-999999999-dead00/sys");
  const std::string living = "vjoy-" + std::to_string(::getpid()) + "-alive0";
  std::filesystem::create_directories(folder / living / "sys");
  std::filesystem::create_directories(folder / "vjoy-run-other0");
  {
    VjoyRun run({VJOY_PROBE, "ls /sys/class/hidraw"}, kTwoInterfaces,
                {{{"VJOY_DIR", folder.string()}}, {}});
    ASSERT_EQ(run.Wait(std::chrono::seconds(20)), 0);
    EXPECT_EQ(run.Output(), "ls /sys/class/hidraw: hidraw0 hidraw1\n");
  }
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  // The probe's own tree went when it ended.
  EXPECT_EQ(left, (std::vector<std::string>{living, "vjoy-run-other0"}));
  std::filesystem::remove_all(folder);
}

TEST(FixtureLogTest, ABadScenarioStopsTheProgramWithTheReason) {
  VjoyRun run({VJOY_PROBE, "ls /sys/class/hidraw"}, "hidraw 0 vendr=1\n");
  EXPECT_EQ(run.Wait(std::chrono::seconds(20)), 97);
  EXPECT_NE(run.Output().find("line 1: unknown word 'vendr=1'"), std::string::npos);
}

}  // namespace
}  // namespace vjoy::testing
