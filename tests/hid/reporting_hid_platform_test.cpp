#include "hid/reporting_hid_platform.h"

#include <gtest/gtest.h>

#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "hid/discovery.h"

namespace trivexa::hid {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kFix = "install the rule";

class ReportingHidPlatformTest : public ::testing::Test {
 protected:
  // One discovery scan, as every unconnected poll tick runs it.
  bool Scan() {
    link_.deviceConnected = false;
    return FindTheHid(context_);
  }

  fakes::Timeline timeline_;
  fakes::FakeClock clock_{timeline_};
  fakes::FakeWindow window_{timeline_, clock_};
  fakes::FakeHidPlatform fake_{timeline_, clock_};
  Lines notices_;
  int fixesAsked_ = 0;
  ReportingHidPlatform platform_{fake_, clock_,
                                 [this](std::string_view line) { notices_.emplace_back(line); },
                                 [this] {
                                   ++fixesAsked_;
                                   return std::string(kFix);
                                 }};
  DeviceLink link_;
  LinkContext context_{link_, platform_, window_, clock_};
};

TEST_F(ReportingHidPlatformTest, ADeniedJoystickIsToldOnceWithNodeReasonAndFixUntilItOpens) {
  fake_.AddOther(0x046D, 0xC52B);
  fakes::FakeInterface& joystick = fake_.AddJoystick();
  joystick.openable = false;

  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(Scan());

  EXPECT_EQ(notices_, Lines{"the joystick at /dev/hidraw1 cannot be opened "
                            "(open /dev/hidraw1: Permission denied); to fix: install the rule"});
  EXPECT_EQ(fixesAsked_, 1);
  // The window shows exactly what it shows without the notices.
  EXPECT_EQ(window_.log,
            (Lines{"  ProductName: Other devic", "  Vendor ID: 46D", "  Product ID: C52B",
                   "  Vendor ID: 0", "  Product ID: 0", "  USB device not found!"}));

  // Refused again after it has opened: told again.
  joystick.openable = true;
  ASSERT_TRUE(Scan());
  CloseIfOpen(platform_, link_.writeHandle);
  CloseIfOpen(platform_, link_.readHandle);
  joystick.openable = false;
  EXPECT_FALSE(Scan());
  EXPECT_EQ(notices_.size(), 2u);
}

TEST_F(ReportingHidPlatformTest, ANewReasonForTheSameNodeIsToldAgainAtMostOnceAMinute) {
  fakes::FakeInterface& joystick = fake_.AddJoystick();
  joystick.openable = false;
  Scan();
  Scan();
  // A reason that changes every tick, for two minutes: one more notice a
  // minute, not one a tick.
  for (int tick = 0; tick < 120; ++tick) {
    clock_.Advance(1000);
    joystick.openFailure = {tick % 2 == 0 ? "No such device" : "Input/output error", false};
    Scan();
  }
  ASSERT_GE(notices_.size(), 2u);
  ASSERT_LE(notices_.size(), 3u);
  notices_.resize(1);

  clock_.Advance(ReportingHidPlatform::kRepeatAfterMs);
  joystick.openFailure = {"Device or resource busy", false};
  Scan();
  Scan();
  clock_.Advance(ReportingHidPlatform::kRepeatAfterMs);
  joystick.openFailure = {"Permission denied", true};
  Scan();

  ASSERT_EQ(notices_.size(), 3u);
  EXPECT_NE(notices_[0].find("(open /dev/hidraw0: Permission denied)"), std::string::npos);
  // A reason that is not about access gets the plain advice, not the rule.
  EXPECT_EQ(notices_[1],
            "the joystick at /dev/hidraw0 cannot be opened "
            "(open /dev/hidraw0: Device or resource busy); "
            "to fix: unplug the joystick and plug it in again");
  EXPECT_EQ(notices_[2], notices_[0]);
  EXPECT_EQ(fixesAsked_, 2);
}

TEST_F(ReportingHidPlatformTest, EachJoystickNodeIsToldAboutOnItsOwn) {
  fake_.AddJoystick().openable = false;
  fake_.AddJoystick().openable = false;
  Scan();
  Scan();
  ASSERT_EQ(notices_.size(), 2u);
  EXPECT_NE(notices_[0].find("/dev/hidraw0"), std::string::npos);
  EXPECT_NE(notices_[1].find("/dev/hidraw1"), std::string::npos);
}

TEST_F(ReportingHidPlatformTest, OtherInterfacesThatCannotBeOpenedAreNeverMentioned) {
  fake_.AddOther(0x046D, 0xC52B).openable = false;
  fake_.AddOther(0x0079, 0x0011).openable = false;  // same vendor, other product
  fake_.AddOther(0x1234, 0x0026).openable = false;  // same product, other vendor
  // A joystick the system cannot identify unopened is no different.
  fakes::FakeInterface& unknown = fake_.AddJoystick();
  unknown.openable = false;
  unknown.identifiable = false;
  Scan();
  EXPECT_TRUE(notices_.empty());
  EXPECT_EQ(fixesAsked_, 0);
}

TEST_F(ReportingHidPlatformTest, AnOpenableJoystickConnectsAsItWouldWithoutTheWrapper) {
  fake_.AddJoystick();
  EXPECT_TRUE(Scan());
  EXPECT_TRUE(notices_.empty());
  EXPECT_TRUE(IsOpen(link_.writeHandle));
  EXPECT_TRUE(IsOpen(link_.readHandle));
  EXPECT_EQ(link_.deviceCaps.outputReportByteLength, 65);
  EXPECT_TRUE(platform_.LastError().text.empty());
}

}  // namespace
}  // namespace trivexa::hid
