#include "protocol/exchange.h"

#include <gtest/gtest.h>

#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "hid/discovery.h"
#include "protocol/commands.h"
#include "protocol/session.h"

namespace trivexa::protocol {
namespace {

using fakes::Event;

class ExchangeTest : public ::testing::Test {
 protected:
  // Opens the joystick as a scan would, then forgets what that logged.
  void Connect() {
    ASSERT_TRUE(hid::FindTheHid(context_));
    window_.log.clear();
    timeline_.Clear();
  }
  std::vector<std::string> Traffic() const {
    return timeline_.Texts({"write", "read", "wait", "cancel", "open", "close", "log", "status",
                            "position", "clear log"});
  }

  fakes::Timeline timeline_;
  fakes::FakeClock clock_{timeline_};
  fakes::FakeWindow window_{timeline_, clock_};
  fakes::FakeHidPlatform platform_{timeline_, clock_};
  hid::DeviceLink link_;
  hid::LinkContext context_{link_, platform_, window_, clock_};
  settings::JoystickSettings settings_{8, 10, 5, 4};
};

TEST_F(ExchangeTest, NothingHappensBeforeTheDeviceWasEverFound) {
  platform_.AddJoystick();
  for (int i = 0; i < 150; ++i) window_.AppendLog("line");
  timeline_.Clear();

  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  EXPECT_EQ(ReceiveReport(context_).count, 0);
  EXPECT_TRUE(timeline_.Events().empty());
  EXPECT_EQ(platform_.listCalls, 0);
  EXPECT_EQ(window_.log.size(), 150u);
}

TEST_F(ExchangeTest, QueryIsWrittenWithTheDeviceLengthAndItsQueuedReplyShown) {
  platform_.AddJoystick();
  Connect();
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  clock_.Sleep(30);
  const Received status = ReceiveReport(context_);
  EXPECT_EQ(status.count, 9);
  EXPECT_EQ(Traffic(), (std::vector<std::string>{
                           "write 00 5A 00 00 00 00 /65",
                           "read 9",
                           "wait signalled",
                       }));
  ASSERT_TRUE(status.reply && status.reply->IsStatus());
  EXPECT_EQ(ReplyLine(*status.reply), "Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127");
  EXPECT_EQ(status.reply->indexes, (settings::JoystickSettings{4, 5, 0, 1}));
  EXPECT_EQ(status.reply->rawX, 128);
  EXPECT_EQ(status.reply->rawY, 127);
  EXPECT_EQ(platform_.Joystick(0).received.at(0),
            std::vector<std::uint8_t>({0x00, 0x5A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  SendCommand(context_, settings_, CMD_QUERY_POSITION);
  clock_.Sleep(30);
  const Received position = ReceiveReport(context_);
  EXPECT_EQ(position.count, 9);
  ASSERT_TRUE(position.reply && position.reply->IsPosition());
  EXPECT_EQ(ReplyLine(*position.reply), " x=-300,y= 25");
  EXPECT_EQ(position.reply->x, -300);
  EXPECT_EQ(position.reply->y, 25);
  EXPECT_TRUE(link_.deviceConnected);
}

TEST_F(ExchangeTest, ReplyArrivingDuringTheWaitIsTakenButNeitherCountedNorShown) {
  platform_.AddJoystick();
  Connect();
  platform_.Joystick(0).replyDelayMs = 40;
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  const std::int64_t readAt = clock_.NowMs();
  const Received received = ReceiveReport(context_);
  EXPECT_EQ(received.count, 0);
  EXPECT_EQ(clock_.NowMs() - readAt, 40);
  EXPECT_FALSE(received.reply);
  EXPECT_TRUE(platform_.Joystick(0).queue.empty());
}

TEST_F(ExchangeTest, SilentDeviceCostsTheFullWaitAndIsCancelled) {
  platform_.AddJoystick();
  Connect();
  platform_.Joystick(0).silent = true;
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  const std::int64_t readAt = clock_.NowMs();
  EXPECT_FALSE(ReceiveReport(context_).reply);
  EXPECT_EQ(clock_.NowMs() - readAt, 100);
  EXPECT_EQ(
      timeline_.Texts({"wait", "cancel"}),
      (std::vector<std::string>{"wait timeout", "cancel " + std::to_string(link_.readHandle)}));
  EXPECT_TRUE(link_.deviceConnected);
  EXPECT_TRUE(window_.log.empty());
}

TEST_F(ExchangeTest, FailedWriteMarksTheDeviceLostSilentlyAndTheNextSendReconnects) {
  platform_.AddJoystick();
  Connect();
  platform_.Joystick(0).failWrites = true;
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  EXPECT_FALSE(link_.deviceConnected);
  EXPECT_TRUE(window_.log.empty());

  // The read after a failed write still runs: the device was found before.
  platform_.Joystick(0).failWrites = false;
  timeline_.Clear();
  EXPECT_EQ(ReceiveReport(context_).count, 0);
  EXPECT_FALSE(timeline_.Texts({"read"}).empty());

  // On demand: one scan, then the report goes out in the same call.
  timeline_.Clear();
  SendCommand(context_, settings_, CMD_WRITE_CONFIG);
  EXPECT_TRUE(link_.deviceConnected);
  EXPECT_EQ(platform_.listCalls, 2);
  EXPECT_EQ(timeline_.Texts({"write"}), (std::vector<std::string>{"write 00 3A 08 0A 05 04 /65"}));
  EXPECT_EQ(platform_.Joystick(0).eeprom, settings_);
}

TEST_F(ExchangeTest, FailedReconnectSendsNothing) {
  platform_.AddJoystick();
  Connect();
  platform_.Unplug(0);
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  EXPECT_FALSE(link_.deviceConnected);
  timeline_.Clear();
  SendCommand(context_, settings_, CMD_CLOSE);
  EXPECT_FALSE(link_.deviceConnected);
  EXPECT_TRUE(timeline_.Texts({"write"}).empty());
  EXPECT_EQ(window_.log, (std::vector<std::string>{"  USB device not found!"}));
}

TEST_F(ExchangeTest, ASessionClosedTwiceTellsTheDeviceOnce) {
  platform_.AddJoystick();
  Session session(platform_, window_, clock_);
  ASSERT_TRUE(session.Connect());
  session.Close();
  EXPECT_EQ(platform_.Joystick(0).closeCommands, 1);
  const std::size_t events = timeline_.Events().size();
  session.Close();
  EXPECT_EQ(timeline_.Events().size(), events);
}

TEST_F(ExchangeTest, WaitFailureIsLoggedAndLosesTheDevice) {
  platform_.AddJoystick();
  Connect();
  platform_.Joystick(0).failWaits = true;
  EXPECT_EQ(ReceiveReport(context_).count, 0);
  EXPECT_FALSE(link_.deviceConnected);
  EXPECT_EQ(timeline_.Texts({"log", "cancel"}),
            (std::vector<std::string>{"log Readfile undefined error"}));
}

TEST_F(ExchangeTest, ShortRepliesAndOtherTagsShowNothing) {
  auto& joystick = platform_.AddJoystick();
  Connect();
  // A 7-byte report tagged as a status reply.
  joystick.joystick->Queue(0, {0x00, 1, 2, 0, 0x5A, 4, 5});
  const Received shortReply = ReceiveReport(context_);
  EXPECT_EQ(shortReply.count, 7);
  EXPECT_FALSE(shortReply.reply);
  for (const std::uint8_t tag : {std::uint8_t{0x7A}, std::uint8_t{0x4A}}) {
    joystick.joystick->Queue(0, {0x00, 1, 2, 0, tag, 4, 5, 0, 1});
    const Received other = ReceiveReport(context_);
    EXPECT_EQ(other.count, 9);
    EXPECT_FALSE(other.reply);
  }
}

TEST_F(ExchangeTest, OddReportLengthsStayInsideTheBuffers) {
  auto& joystick = platform_.AddJoystick();
  joystick.caps = {5, 8};
  Connect();
  SendCommand(context_, settings_, CMD_WRITE_CONFIG);
  EXPECT_EQ(timeline_.Texts({"write"}), (std::vector<std::string>{"write 00 3A 08 0A 05 04 /8"}));
  // A 5-byte status reply is too short to be shown, and nothing past it is read.
  clock_.Sleep(30);
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  clock_.Sleep(30);
  const Received tooShort = ReceiveReport(context_);
  EXPECT_EQ(tooShort.count, 5);
  EXPECT_FALSE(tooShort.reply);

  // A device announcing 200-byte output reports gets them, zero-padded.
  link_.deviceCaps = {64, 200};
  timeline_.Clear();
  SendCommand(context_, settings_, CMD_CLOSE);
  EXPECT_EQ(timeline_.Texts({"write"}), (std::vector<std::string>{"write 00 AA 00 00 00 00 /200"}));
  std::vector<std::uint8_t> padded(200, 0);
  padded[1] = CMD_CLOSE;
  EXPECT_EQ(joystick.joystick->received.back(), padded);
  EXPECT_TRUE(link_.deviceConnected);
  // Padded or not, a write that fails loses the device.
  joystick.joystick->failWrites = true;
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  EXPECT_FALSE(link_.deviceConnected);
  joystick.joystick->failWrites = false;
  Connect();

  // Without an output report length nothing can be written: that is a
  // failed write, not a link that stays connected with nothing sent.
  link_.deviceCaps = {9, 0};
  timeline_.Clear();
  SendCommand(context_, settings_, CMD_QUERY_STATUS);
  EXPECT_TRUE(timeline_.Texts({"write"}).empty());
  EXPECT_FALSE(link_.deviceConnected);
}

TEST_F(ExchangeTest, ReplyLinesComeFromTheBytesTheReadReturned) {
  auto& joystick = platform_.AddJoystick();
  Connect();
  // Eight bytes: the interval index and y's high byte were never sent, even
  // though the buffer behind them is nine bytes long.
  joystick.joystick->Queue(0, {0x00, 128, 127, 0, 0x5A, 4, 5, 0});
  const Received status = ReceiveReport(context_);
  EXPECT_EQ(status.count, 8);
  ASSERT_TRUE(status.reply);
  EXPECT_EQ(ReplyLine(*status.reply), "Current Status: 3.0deg, 0, 1, X= 128,Y= 127");
  EXPECT_EQ(status.reply->bytes.size(), 8u);
  EXPECT_EQ(status.reply->indexes.intervalIndex, 0);
  joystick.joystick->Queue(0, {0x00, 0, 0, 0, 0x6A, 0xD4, 0xFE, 0x19});
  const Received position = ReceiveReport(context_);
  EXPECT_EQ(position.count, 8);
  ASSERT_TRUE(position.reply);
  EXPECT_EQ(ReplyLine(*position.reply), " x=-300");
  EXPECT_EQ(position.reply->x, -300);
  EXPECT_EQ(position.reply->y, 0);
}

}  // namespace
}  // namespace trivexa::protocol
