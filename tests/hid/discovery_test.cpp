#include "hid/discovery.h"

#include <gtest/gtest.h>

#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "host/text.h"

namespace trivexa::hid {
namespace {

using fakes::Event;
using Lines = std::vector<std::string>;

class DiscoveryTest : public ::testing::Test {
 protected:
  fakes::Timeline timeline_;
  fakes::FakeClock clock_{timeline_};
  fakes::FakeWindow window_{timeline_, clock_};
  fakes::FakeHidPlatform platform_{timeline_, clock_};
  DeviceLink link_;
  LinkContext context_{link_, platform_, window_, clock_};
};

TEST_F(DiscoveryTest, NoInterfaceLeavesOnlyTheNotFoundLine) {
  window_.AppendLog("from before");
  EXPECT_FALSE(FindTheHid(context_));
  EXPECT_EQ(window_.log, Lines{"  USB device not found!"});
  EXPECT_EQ(window_.selectedLine, 0);
  EXPECT_FALSE(window_.connected);
  EXPECT_EQ(platform_.opens, 0);
  EXPECT_EQ(clock_.NowMs(), 0);
}

TEST_F(DiscoveryTest, JoystickThirdOfFiveIsOpenedTwiceAndLaterOnesNeverTouched) {
  platform_.AddOther(0x046D, 0xC52B, u"USB Receiver");
  platform_.AddOther(0x0079, 0x0011, u"Gamepad");
  platform_.AddJoystick(u"USB Joystick");
  platform_.AddOther(0x1234, 0x5678);
  platform_.AddJoystick(u"Second one");
  window_.AppendLog("from before");

  EXPECT_TRUE(FindTheHid(context_));
  EXPECT_EQ(window_.log, (Lines{
                             "  ProductName: USB Receive",
                             "  Vendor ID: 46D",
                             "  Product ID: C52B",
                             "  ProductName: Gamepad",
                             "  Vendor ID: 79",
                             "  Product ID: 11",
                             "  ProductName: USB Joystic",
                             "  Vendor ID: 79",
                             "  Product ID: 26",
                             "  USB device found!",
                         }));
  EXPECT_EQ(window_.selectedLine, 9);
  EXPECT_TRUE(window_.connected);
  EXPECT_TRUE(link_.deviceConnected);
  EXPECT_TRUE(link_.deviceEverFound);
  EXPECT_EQ(link_.devicePath, "/dev/hidraw2");
  EXPECT_EQ(link_.deviceCaps.inputReportByteLength, 9);
  EXPECT_EQ(link_.deviceCaps.outputReportByteLength, 65);

  // Probe handles of the two others are closed; the joystick's probe handle
  // is kept for writes and a second, overlapped one opened for reads.
  EXPECT_EQ(platform_.openedPaths,
            (Lines{"/dev/hidraw0", "/dev/hidraw1", "/dev/hidraw2", "/dev/hidraw2"}));
  EXPECT_EQ(platform_.OpenHandleCount(), 2);
  EXPECT_TRUE(IsOpen(link_.writeHandle));
  EXPECT_TRUE(IsOpen(link_.readHandle));
  EXPECT_NE(link_.writeHandle, link_.readHandle);
  EXPECT_EQ(link_.readOverlapped.hEvent, link_.readEvent);
  EXPECT_TRUE(IsOpen(link_.readEvent));

  // 100 ms after each attributes query, three interfaces probed.
  EXPECT_EQ(timeline_.Texts({"sleep"}), (Lines{"sleep 100", "sleep 100", "sleep 100"}));
  EXPECT_EQ(clock_.NowMs(), 300);
}

TEST_F(DiscoveryTest, UnopenableAndQueryFailuresAreLoggedAndSkipped) {
  auto& locked = platform_.AddJoystick();
  locked.openable = false;
  platform_.AddOther(0x0079, 0x0026).attributesFail = true;
  platform_.AddOther(0x0123, 0x0456).product.reset();
  platform_.AddJoystick(u"Joy");

  EXPECT_TRUE(FindTheHid(context_));
  EXPECT_EQ(window_.log, (Lines{
                             "  Vendor ID: 0",
                             "  Product ID: 0",
                             "  ProductName: Other devic",
                             "  Vendor ID: 0",
                             "  Product ID: 0",
                             "  Vendor ID: 123",
                             "  Product ID: 456",
                             "  ProductName: Joy",
                             "  Vendor ID: 79",
                             "  Product ID: 26",
                             "  USB device found!",
                         }));
  EXPECT_EQ(link_.devicePath, "/dev/hidraw3");
  EXPECT_EQ(platform_.OpenHandleCount(), 2);
  EXPECT_EQ(platform_.doubleCloses, 0);
}

TEST_F(DiscoveryTest, ProductNamesAreCutToElevenCharactersFromTheLowBytes) {
  platform_.AddOther(0x0001, 0x0002, u"Thirteen char");
  platform_.AddOther(0x0001, 0x0002, u"Abc");
  platform_.AddOther(0x0001, 0x0002, u"\u00C4\u0141x");  // Latin-1 byte kept, high byte dropped
  FindTheHid(context_);
  EXPECT_EQ(window_.log.at(0), "  ProductName: Thirteen ch");
  EXPECT_EQ(window_.log.at(3), "  ProductName: Abc");
  EXPECT_EQ(window_.log.at(6), "  ProductName: \u00C4Ax");
}

TEST_F(DiscoveryTest, SecondScanReusesTheEventAndAFailedScanKeepsEverFound) {
  platform_.AddJoystick();
  ASSERT_TRUE(FindTheHid(context_));
  const Handle event = link_.readEvent;

  ASSERT_TRUE(FindTheHid(context_));
  EXPECT_EQ(platform_.eventsCreated, 1);
  EXPECT_EQ(link_.readEvent, event);
  EXPECT_EQ(link_.readOverlapped.hEvent, event);
  // The earlier scan's handles were closed before new ones were opened.
  EXPECT_EQ(platform_.OpenHandleCount(), 2);

  platform_.Unplug(0);
  EXPECT_FALSE(FindTheHid(context_));
  EXPECT_FALSE(link_.deviceConnected);
  EXPECT_TRUE(link_.deviceEverFound);
  EXPECT_EQ(link_.writeHandle, kNoHandle);
  EXPECT_EQ(link_.readHandle, kNoHandle);
  EXPECT_EQ(platform_.OpenHandleCount(), 0);
  EXPECT_EQ(platform_.doubleCloses, 0);
  EXPECT_FALSE(window_.connected);
}

TEST_F(DiscoveryTest, FailedEventCreationIsRetriedAndFailedCapsKeepTheOldOnes) {
  auto& joystick = platform_.AddJoystick();
  platform_.failCreateEvent = true;
  ASSERT_TRUE(FindTheHid(context_));
  EXPECT_EQ(link_.readEvent, kNoHandle);

  platform_.failCreateEvent = false;
  joystick.capsFail = true;
  link_.deviceCaps = {33, 44};
  ASSERT_TRUE(FindTheHid(context_));
  EXPECT_TRUE(IsOpen(link_.readEvent));
  EXPECT_EQ(link_.deviceCaps.inputReportByteLength, 33);
  EXPECT_EQ(link_.deviceCaps.outputReportByteLength, 44);
}

TEST_F(DiscoveryTest, JoystickWhoseReportLengthsCannotBeReadIsNotTakenAsConnected) {
  auto& joystick = platform_.AddJoystick();
  joystick.failNextCapsQueries = 1;  // a short USB glitch during the first scan
  EXPECT_FALSE(FindTheHid(context_));
  EXPECT_FALSE(link_.deviceConnected);
  EXPECT_FALSE(window_.connected);
  EXPECT_EQ(platform_.OpenHandleCount(), 0);
  EXPECT_EQ(link_.writeHandle, kNoHandle);
  ASSERT_GE(window_.log.size(), 3u);
  EXPECT_EQ(
      Lines(window_.log.end() - 3, window_.log.end()),
      (Lines{"  USB device found!", "  Report lengths unreadable!", "  USB device not found!"}));

  // The next scan asks again, and the glitch is over.
  EXPECT_TRUE(FindTheHid(context_));
  EXPECT_EQ(link_.deviceCaps.inputReportByteLength, 9);
  EXPECT_EQ(link_.deviceCaps.outputReportByteLength, 65);
  EXPECT_TRUE(window_.connected);
}

// The log's ids have no leading zeros, list's ids four digits, escapes two.
TEST(HexText, DigitsAndCaseAsAsked) {
  EXPECT_EQ(HexText(0x0079, 1, HexCase::kUpper), "79");
  EXPECT_EQ(HexText(0, 1, HexCase::kUpper), "0");
  EXPECT_EQ(HexText(0xABCD, 1, HexCase::kUpper), "ABCD");
  EXPECT_EQ(HexText(0x0F00, 1, HexCase::kUpper), "F00");
  EXPECT_EQ(HexText(0x0079, 4), "0079");
  EXPECT_EQ(HexText(0xABCD, 4), "abcd");
  EXPECT_EQ(HexText(0x1b, 2), "1b");
  EXPECT_EQ(HexText(0x12345, 4), "12345");
}

}  // namespace
}  // namespace trivexa::hid
