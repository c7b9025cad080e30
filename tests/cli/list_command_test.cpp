#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli_rig.h"

namespace trivexa::cli {
namespace {

TEST(ListCommandTest, ShowsEveryInterfaceAndNumbersTheJoysticksByPort) {
  CliRig rig;
  rig.platform.AddOther(0x046D, 0xC52B, u"USB Receiver").caps = {20, 20};
  rig.platform.AddJoystick(u"Generic USB Joystick").port = "1-10";
  fakes::FakeInterface& locked = rig.platform.AddOther(0x1234, 0x0001);
  locked.openable = false;
  // Port 2 of the hub in port 2 comes before port 10 of the root hub.
  rig.platform.AddJoystick().port = "1-2.2";

  EXPECT_EQ(rig.Run({"list"}), kExitOk);
  EXPECT_EQ(rig.out.str(),
            "/dev/hidraw0  046d:c52b  in 20 out 20  \"USB Receiver\"\n"
            "/dev/hidraw1  0079:0026  in 9 out 65  \"Generic USB Joystick\"  <- joystick 2, "
            "port 1-10\n"
            "/dev/hidraw2  1234:0001  cannot open: open /dev/hidraw2: Permission denied\n"
            "/dev/hidraw3  0079:0026  in 9 out 65  \"USB Joystick\"  <- joystick 1, port 1-2.2\n");
  // Every probe handle is closed again, and nothing is sent to the joystick.
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
  EXPECT_TRUE(rig.Writes().empty());
}

TEST(ListCommandTest, ControlCharactersOfADeviceNameNeverReachTheTerminal) {
  CliRig rig;
  // A title change (OSC), a colour (CSI as ESC [ and as C1), a bell, a line
  // break and quotes; the Chinese text stays as it is.
  rig.platform.AddJoystick(
      u"Pad\x1b]0;owned\x07\x1b[31m\x9b"
      u"2J\r\n\"q\"\\ \u624b\u67c4\x7f");
  EXPECT_EQ(rig.Run({"list"}), kExitOk);
  EXPECT_EQ(rig.out.str(),
            "/dev/hidraw0  0079:0026  in 9 out 65  "
            "\"Pad\\x1b]0;owned\\x07\\x1b[31m\\u009b2J\\x0d\\x0a\\\"q\\\"\\\\ \u624b\u67c4\\x7f\""
            "  <- joystick 1\n");

  // A path keeps its backslashes, so that --device takes what list prints;
  // its control characters are escaped all the same.
  CliRig windows;
  windows.platform.AddJoystick().path =
      "\\\\?\\hid#vid_0079&pid_0026#7&1a2b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  windows.platform.AddOther(1, 2).path = "\\\\?\\hid#\x1b[2J";
  EXPECT_EQ(windows.Run({"list"}), kExitOk);
  EXPECT_EQ(windows.out.str(),
            "\\\\?\\hid#vid_0079&pid_0026#7&1a2b&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}  "
            "0079:0026  in 9 out 65  \"USB Joystick\"  <- joystick 1\n"
            "\\\\?\\hid#\\x1b[2J  0001:0002  in 9 out 65  \"Other device\"\n");
}

TEST(ListCommandTest, JsonHoldsTheSameWithNullsForWhatIsUnknown) {
  CliRig rig;
  fakes::FakeInterface& odd = rig.platform.AddOther(0x0079, 0x0006, u"Pad \"2\"");
  odd.capsFail = true;
  odd.port = "3-1";
  rig.platform.AddJoystick().product.reset();
  fakes::FakeInterface& locked = rig.platform.AddJoystick();
  locked.openable = false;
  locked.identifiable = false;

  EXPECT_EQ(rig.Run({"list", "--json"}), kExitOk);
  EXPECT_EQ(
      rig.out.str(),
      R"({"version":2,"interfaces":[)"
      R"({"path":"/dev/hidraw0","joystick":false,"number":null,"port":"3-1","opened":true,)"
      R"("error":null,"vendorId":"0079",)"
      R"("productId":"0006","productName":"Pad \"2\"","inputReportLength":null,)"
      R"("outputReportLength":null},)"
      R"({"path":"/dev/hidraw1","joystick":true,"number":1,"port":null,"opened":true,)"
      R"("error":null,"vendorId":"0079",)"
      R"("productId":"0026","productName":null,"inputReportLength":9,"outputReportLength":65},)"
      R"({"path":"/dev/hidraw2","joystick":false,"number":null,"port":null,"opened":false,)"
      R"("error":"open /dev/hidraw2: Permission denied",)"
      R"("vendorId":null,"productId":null,"productName":null,"inputReportLength":null,)"
      R"("outputReportLength":null}]})"
      "\n");
}

TEST(ListCommandTest, AJoystickThatCannotBeOpenedIsStillMarked) {
  CliRig rig;
  rig.platform.AddJoystick().openable = false;
  EXPECT_EQ(rig.Run({"list"}), kExitOk);
  EXPECT_EQ(rig.out.str(),
            "/dev/hidraw0  0079:0026  cannot open: open /dev/hidraw0: Permission denied  <- "
            "joystick 1\n");
  CliRig json;
  json.platform.AddJoystick().openable = false;
  EXPECT_EQ(json.Run({"list", "--json"}), kExitOk);
  EXPECT_NE(json.out.str().find(R"("joystick":true,"number":1,"port":null,"opened":false)"),
            std::string::npos);
}

TEST(ListCommandTest, NoInterfaces) {
  CliRig rig;
  EXPECT_EQ(rig.Run({"list"}), kExitOk);
  EXPECT_EQ(rig.out.str(), "No HID interfaces present.\n");
  CliRig json;
  EXPECT_EQ(json.Run({"list", "--json"}), kExitOk);
  EXPECT_EQ(json.out.str(), "{\"version\":2,\"interfaces\":[]}\n");
}

}  // namespace
}  // namespace trivexa::cli
