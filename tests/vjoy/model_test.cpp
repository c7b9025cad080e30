#include <gtest/gtest.h>

#include <cerrno>

#include "descriptors.h"
#include "firmware.h"
#include "replay.h"
#include "scenario.h"

namespace vjoy {
namespace {

Scenario Parse(const std::string& text) {
  std::string error;
  auto scenario = ParseScenario(text, error);
  EXPECT_TRUE(scenario.has_value()) << error;
  return scenario.value_or(Scenario{});
}

std::string ParseError(const std::string& text) {
  std::string error;
  EXPECT_FALSE(ParseScenario(text, error).has_value());
  return error;
}

TEST(ScenarioTest, ReadsInterfacesWithTheirFirmwareAndPlugEvents) {
  const Scenario scenario = Parse(
      "# two interfaces\n"
      "hidraw 0 vendor=0x046d product=0xc52b name=\"Logitech USB Receiver\" descriptor=mouse\n"
      "hidraw 3 vendor=0x0079 product=0x0026 firmware delay=5 eeprom=1,2,3,4 status-xy=7,8 "
      "position=-2,300 queue=4 port=2-1.4 fail-write=0x6a*2:ETIMEDOUT fail-write=0xaa*1\n"
      "unplug 3 after=0x6a*2+300\n"
      "replug 3 after=unplug+1500\n"
      "unplug 0 at=2000\n");
  ASSERT_EQ(scenario.interfaces.size(), 2u);
  const VirtualInterface& mouse = scenario.interfaces[0];
  EXPECT_EQ(mouse.vendor, 0x046d);
  EXPECT_EQ(mouse.name, "Logitech USB Receiver");
  EXPECT_FALSE(mouse.firmware);
  EXPECT_EQ(mouse.descriptor, *PresetDescriptor("mouse"));

  const VirtualInterface& joystick = *scenario.Find(3);
  EXPECT_TRUE(joystick.firmware);
  EXPECT_EQ(joystick.replyDelayMs, 5u);
  EXPECT_EQ(joystick.eeprom, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(joystick.statusX, 7);
  EXPECT_EQ(joystick.positionX, -2);
  EXPECT_EQ(joystick.positionY, 300);
  EXPECT_EQ(joystick.queueLimit, 4u);
  EXPECT_EQ(joystick.descriptor, *PresetDescriptor("joystick"));
  EXPECT_EQ(joystick.name, "HID Device");
  EXPECT_EQ(joystick.port, "2-1.4");
  EXPECT_EQ(mouse.port, "");
  ASSERT_EQ(joystick.failedWrites.size(), 2u);
  EXPECT_EQ(joystick.failedWrites[0].command, 0x6A);
  EXPECT_EQ(joystick.failedWrites[0].count, 2u);
  EXPECT_EQ(joystick.failedWrites[0].error, ETIMEDOUT);
  EXPECT_EQ(joystick.failedWrites[1].error, EIO);

  ASSERT_EQ(scenario.events.size(), 3u);
  EXPECT_FALSE(scenario.events[0].replug);
  EXPECT_EQ(scenario.events[0].trigger.kind, Trigger::Kind::kAfterCommand);
  EXPECT_EQ(scenario.events[0].trigger.command, 0x6A);
  EXPECT_EQ(scenario.events[0].trigger.count, 2u);
  EXPECT_EQ(scenario.events[0].trigger.delayMs, 300u);
  EXPECT_TRUE(scenario.events[1].replug);
  EXPECT_EQ(scenario.events[1].trigger.kind, Trigger::Kind::kAfterUnplug);
  EXPECT_EQ(scenario.events[2].trigger.kind, Trigger::Kind::kAt);
  EXPECT_EQ(scenario.events[2].trigger.delayMs, 2000u);
}

TEST(ScenarioTest, TakesDescriptorsAsHexAndNumbersTheJoystickWithAReportId) {
  const Scenario scenario = Parse(
      "hidraw 0 vendor=1 product=2 descriptor=0501a101c0\n"
      "hidraw 1 vendor=0x79 product=0x26 firmware reportid=7\n");
  EXPECT_EQ(scenario.interfaces[0].descriptor,
            (std::vector<std::uint8_t>{0x05, 0x01, 0xA1, 0x01, 0xC0}));
  EXPECT_EQ(scenario.interfaces[1].descriptor, NumberedJoystickDescriptor(7));
}

TEST(ScenarioTest, RefusesFaultsAndSaysWhere) {
  EXPECT_EQ(ParseError("hidraw 0 vendor=1\nhidraw 1 vendr=2\n"), "line 2: unknown word 'vendr=2'");
  EXPECT_EQ(ParseError("hidraw 0 vendor=0x10000\n"), "line 1: bad value in 'vendor=0x10000'");
  EXPECT_EQ(ParseError("hidraw 0 name=\"open\n"), "line 1: unclosed quote");
  EXPECT_EQ(ParseError("hidraw 0\nhidraw 0\n"), "line 2: hidraw node listed twice");
  EXPECT_EQ(ParseError("hidraw 0\nunplug 1 at=5\n"), "line 2: no such hidraw node");
  EXPECT_NE(ParseError("hidraw 0\nunplug 0 at=\n"), "");
  EXPECT_NE(ParseError("hidraw 0\nunplug 0 after=0x5a*0+1\n"), "");
  EXPECT_NE(ParseError("hidraw 0 descriptor=abc\n"), "");
  EXPECT_NE(ParseError("hidraw 0 eeprom=1,2,3\n"), "");
  EXPECT_NE(ParseError("hidraw 0 reportid=0\n"), "");
  EXPECT_NE(ParseError("hidraw 0 fail-write=0x5a*0\n"), "");
  EXPECT_NE(ParseError("hidraw 0 fail-write=0x5a*1:ENOSUCH\n"), "");
  for (const char* port : {"port=1", "port=-2", "port=1-", "port=1-2.", "port=1-.2", "port=a-2"}) {
    EXPECT_EQ(ParseError(std::string("hidraw 0 ") + port + "\n"),
              std::string("line 1: bad value in '") + port + "'");
  }
  EXPECT_NE(ParseError("plug 0\n"), "");
}

std::vector<std::uint8_t> Output(std::uint8_t command, std::vector<std::uint8_t> payload = {}) {
  std::vector<std::uint8_t> wire(64, 0);
  wire[0] = command;
  for (std::size_t i = 0; i < payload.size(); ++i) wire[i + 1] = payload[i];
  return wire;
}

TEST(FirmwareTest, AnswersQueriesWithTheReportLayoutTheToolReads) {
  VirtualInterface virtualInterface;
  virtualInterface.eeprom = {4, 5, 0, 1};
  virtualInterface.statusX = 128;
  virtualInterface.statusY = 127;
  virtualInterface.positionX = -300;
  virtualInterface.positionY = 25;
  JoystickFirmware firmware(virtualInterface);
  // Without the report ID, the tool's offsets 1..8 are bytes 0..7.
  EXPECT_EQ(firmware.OnOutput(Output(0x5A)),
            (std::vector<std::uint8_t>{128, 127, 0, 0x5A, 4, 5, 0, 1}));
  EXPECT_EQ(firmware.OnOutput(Output(0x6A)),
            (std::vector<std::uint8_t>{0, 0, 0, 0x6A, 0xD4, 0xFE, 0x19, 0x00}));
}

TEST(FirmwareTest, StoresWrittenSettingsAndReportsThemInTheNextStatus) {
  JoystickFirmware firmware(VirtualInterface{});
  EXPECT_EQ(firmware.OnOutput(Output(0x3A, {8, 10, 5, 4})), std::nullopt);
  EXPECT_EQ(firmware.Eeprom(), (std::array<std::uint8_t, 4>{8, 10, 5, 4}));
  const auto status = firmware.OnOutput(Output(0x5A));
  ASSERT_TRUE(status);
  EXPECT_EQ(std::vector<std::uint8_t>(status->begin() + 4, status->end()),
            (std::vector<std::uint8_t>{8, 10, 5, 4}));
}

TEST(FirmwareTest, CountsCloseAndIgnoresUnknownCommands) {
  JoystickFirmware firmware(VirtualInterface{});
  EXPECT_EQ(firmware.OnOutput(Output(0xAA)), std::nullopt);
  EXPECT_EQ(firmware.OnOutput(Output(0x7A)), std::nullopt);
  EXPECT_EQ(firmware.OnOutput({}), std::nullopt);
  EXPECT_EQ(firmware.CloseCount(), 1u);
}

TEST(FirmwareTest, SilentFirmwareStillStoresButNeverAnswers) {
  VirtualInterface virtualInterface;
  virtualInterface.silent = true;
  JoystickFirmware firmware(virtualInterface);
  EXPECT_EQ(firmware.OnOutput(Output(0x5A)), std::nullopt);
  EXPECT_EQ(firmware.OnOutput(Output(0x6A)), std::nullopt);
  firmware.OnOutput(Output(0x3A, {1, 1, 1, 1}));
  EXPECT_EQ(firmware.Eeprom(), (std::array<std::uint8_t, 4>{1, 1, 1, 1}));
}

TEST(FirmwareTest, NumberedReportsCarryTheirIdBothWays) {
  VirtualInterface virtualInterface;
  virtualInterface.reportId = 7;
  JoystickFirmware firmware(virtualInterface);
  std::vector<std::uint8_t> numbered{7, 0x6A};
  numbered.resize(65, 0);
  const auto reply = firmware.OnOutput(numbered);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->size(), 9u);
  EXPECT_EQ((*reply)[0], 7);
  EXPECT_EQ((*reply)[4], 0x6A);
  // A report for another ID is not this device's.
  std::vector<std::uint8_t> other{3, 0x6A};
  EXPECT_EQ(firmware.OnOutput(other), std::nullopt);
}

// A problem report as a scenario: its interfaces as listed, and replies in
// the recorded order; a reply taken unread during a wait comes as late as
// it came, and a command past the recording gets the last step's replies.
TEST(ReplayTest, AReportsInterfacesAndRepliesComeBackInOrder) {
  const Scenario scenario = Parse(
      "# Trivexa problem report, made by trivexactl report.\n"
      "# interface: path=\"/dev/hidraw4\" port=\"1-2\" product=\"Pad \\\"X\\\"\" opened=no "
      "error=\"open /dev/hidraw4: Permission denied\"\n"
      "D: 0\nN: Maker Pad\nI: 3 0079 0026\nP: usb-1/input0\n"
      "# interface: path=\"\\\\?\\hid#vid_0079\" port=\"PCIROOT(0)#USB(2)\" opened=yes\n"
      "D: 1\nN: USB Joystick\nI: 0 0079 0026\nP: \nR: 3 06 00 ff\n"
      "# transcript: ...; joystick path=\"x\"\nD: 1\n"
      "# 000000.100000 write 3 00 5a 00 -> written\n"
      "E: 000000.100000 8 80 7f 00 5a 04 05 00 01\n"
      "# 000000.201000 write 3 00 5a 00 -> written\n"
      "# 000000.280000 wait -> a report came, taken unread\n"
      "# 000000.300000 write 3 00 6a 00 -> failed: write /dev/hidraw1: Broken pipe\n"
      "# 000000.350000 write 3 00 6a 00 -> failed: the device is gone.\n"
      "# 000000.400000 write 3 00 6a 00 -> written\n");
  ASSERT_EQ(scenario.interfaces.size(), 2u);
  const VirtualInterface& denied = *scenario.Find(4);
  EXPECT_TRUE(denied.denied);
  EXPECT_EQ(denied.name, "Pad \"X\"");
  EXPECT_EQ(denied.port, "1-2");
  EXPECT_FALSE(denied.replayed);
  // Not a Linux node: numbered by its place; the location path is no port.
  const VirtualInterface& joystick = *scenario.Find(1);
  EXPECT_TRUE(joystick.replayed);
  EXPECT_EQ(joystick.bus, 3);
  EXPECT_EQ(joystick.port, "");
  EXPECT_EQ(joystick.descriptor, (std::vector<std::uint8_t>{0x06, 0x00, 0xff}));

  const std::vector<std::uint8_t> status = {0x80, 0x7f, 0, 0x5a, 4, 5, 0, 1};
  ReplayFirmware firmware(joystick.replay);
  const auto first = firmware.OnCommand(0x5A);
  ASSERT_EQ(first.replies.size(), 1u);
  EXPECT_EQ(first.replies[0].delayMs, 0u);
  EXPECT_EQ(first.replies[0].report, status);
  const auto late = firmware.OnCommand(0x5A);
  ASSERT_EQ(late.replies.size(), 1u);
  EXPECT_EQ(late.replies[0].delayMs, 79u);
  EXPECT_EQ(late.replies[0].report, status);
  // A failed write fails again: with the errno the system's words name,
  // else EIO. Past the recording, only a written step answers.
  EXPECT_EQ(firmware.OnCommand(0x6A).writeError, EPIPE);
  EXPECT_EQ(firmware.OnCommand(0x6A).writeError, EIO);
  const auto position = firmware.OnCommand(0x6A);
  EXPECT_FALSE(position.unseen);
  EXPECT_EQ(position.writeError, 0);
  EXPECT_TRUE(position.replies.empty());
  EXPECT_EQ(firmware.OnCommand(0x6A).step, 5u);
  const auto unseen = firmware.OnCommand(0x5A);
  EXPECT_TRUE(unseen.unseen);
  EXPECT_EQ(unseen.step, 2u);
  EXPECT_EQ(unseen.replies[0].delayMs, 79u);
  EXPECT_EQ(firmware.OnCommand(0x3A).step, 0u);
}

}  // namespace
}  // namespace vjoy
