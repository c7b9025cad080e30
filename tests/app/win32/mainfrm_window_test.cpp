#include "app/win32/mainfrm_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "fakes/temp_dir.h"
#include "fakes/timeline.h"

namespace trivexa::app::win32 {
namespace {

std::wstring TextOf(HWND control) {
  wchar_t text[256] = {};
  GetWindowTextW(control, text, 256);
  return text;
}

RECT RectInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

COLORREF BrushColour(LRESULT brush) {
  LOGBRUSH description{};
  GetObjectW(reinterpret_cast<HBRUSH>(brush), sizeof description, &description);
  return description.lbColor;
}

// The real window around the real handlers, with a simulated device, a
// fake clock and a folder of its own for JOYSTICK.INI.
class MainfrmWindowTest : public ::testing::Test {
 protected:
  MainfrmWindowTest()
      : window_(GetModuleHandleW(nullptr), platform_, clock_, guard_,
                [this] { return dir_.path(); }) {}

  HWND Item(ControlId id) const { return window_.Control(id); }
  void Tick() { SendMessageW(window_.Window(), WM_TIMER, kTimer1Id, 0); }
  void Click(ControlId id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  LRESULT LabelColour(ControlId id, HDC dc) {
    return SendMessageW(window_.Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(Item(id)));
  }
  // Plugs in the joystick and lets the next tick find it.
  fakes::SimJoystick& Connect() {
    platform_.AddOther(0x046D, 0xC077, u"Mouse");
    platform_.AddJoystick();
    Tick();
    EXPECT_EQ(TextOf(Item(kLabelUsbConnect)), L"Joystick connected");
    return platform_.Joystick(1);
  }

  fakes::TempDir dir_;
  fakes::Timeline timeline_;
  fakes::FakeClock clock_{timeline_};
  fakes::FakeHidPlatform platform_{timeline_, clock_};
  fakes::FakeInstanceGuard guard_;
  Mainfrm window_;
};

TEST_F(MainfrmWindowTest, WindowAndControlsFollowTheDefinition) {
  HWND window = window_.Window();
  EXPECT_EQ(TextOf(window), L"Trivexa");
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 564);
  EXPECT_EQ(client.bottom, 265);

  // The close box only, and a frame that does not resize.
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);

  struct Expected {
    ControlId id;
    const wchar_t* text;
    RECT rect;  // pixels at 96 dpi
    bool shown;
  };
  const std::vector<Expected> controls = {
      {kCmdWriteEeprom, L"Write EEPROM", {408, 64, 514, 107}, true},
      {kCmdExit, L"EXIT", {408, 144, 514, 179}, true},
      {kLabel1, L"Dead zone angle :", {56, 32, 225, 49}, true},
      {kLabel4, L"Transmission interval :", {56, 152, 225, 169}, true},
      {kLabelJoyState, L"", {48, 216, 481, 233}, true},
      {kClear, L"Clear Log", {400, 264, 490, 291}, false},
      {kLstResults, L"", {8, 296, 553, 356}, false},
      {kLabelXy, L"", {48, 248, 193, 265}, false},
      {kLabel5,
       L"Please keep the joystick on center point before write EEPROM.",
       {24, 280, 513, 297},
       false},
  };
  for (const Expected& expected : controls) {
    SCOPED_TRACE(expected.id);
    const RECT rect = RectInParent(Item(expected.id));
    EXPECT_EQ(rect.left, expected.rect.left);
    EXPECT_EQ(rect.top, expected.rect.top);
    EXPECT_EQ(rect.right, expected.rect.right);
    EXPECT_EQ(rect.bottom, expected.rect.bottom);
    EXPECT_EQ(TextOf(Item(expected.id)), expected.text);
    EXPECT_EQ((GetWindowLongPtrW(Item(expected.id), GWL_STYLE) & WS_VISIBLE) != 0, expected.shown);
  }

  // The combos' fields are as high as defined, and editable drop-downs.
  for (const ControlId combo : {kCombo1, kCombo2, kCombo3, kCombo4}) {
    const RECT rect = RectInParent(Item(combo));
    EXPECT_EQ(rect.left, 232);
    EXPECT_EQ(rect.right - rect.left, 97);
    EXPECT_EQ(rect.bottom - rect.top, 22);
    EXPECT_EQ(GetWindowLongPtrW(Item(combo), GWL_STYLE) & 3, CBS_DROPDOWN);
  }
  // Buttons draw themselves, so their pink shows in any theme; neither is
  // a default button.
  for (const ControlId button : {kCmdWriteEeprom, kCmdExit, kClear}) {
    EXPECT_EQ(GetWindowLongPtrW(Item(button), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  }
}

TEST_F(MainfrmWindowTest, StartUpShowsTheStoredEntriesThePlaceholderAndFocusOnWrite) {
  fakes::WriteFile(dir_.path() / "JOYSTICK.INI",
                   "[TRIVEXA]\r\nDeadZoneAngle=8\r\nMaximumAngleOffset=10\r\nMoveThreshold=5\r\n"
                   "TimeInterval=4\r\n");
  window_.Load();
  EXPECT_FALSE(window_.ProgramEnded());
  EXPECT_TRUE(IsWindowVisible(window_.Window()));
  EXPECT_EQ(TextOf(Item(kCombo1)), L" 5.0deg");
  EXPECT_EQ(TextOf(Item(kCombo2)), L" +5");
  EXPECT_EQ(TextOf(Item(kCombo3)), L" 6");
  EXPECT_EQ(TextOf(Item(kCombo4)), L" 50ms");
  EXPECT_EQ(SendMessageW(Item(kCombo1), CB_GETCOUNT, 0, 0), 9);
  EXPECT_EQ(SendMessageW(Item(kCombo4), CB_GETCOUNT, 0, 0), 5);
  EXPECT_EQ(TextOf(Item(kLabelJoyState)), L"Current Status:  -- , -- , -- , --, x=--,y=--");
  EXPECT_EQ(TextOf(Item(kLabelUsbConnect)), L"Joystick unconnected");
  EXPECT_EQ(GetFocus(), Item(kCmdWriteEeprom));

  // Centred on the work area.
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  GetWindowRect(window_.Window(), &frame);
  EXPECT_LE(std::abs((frame.left - work.left) - (work.right - frame.right)), 1);
  EXPECT_LE(std::abs((frame.top - work.top) - (work.bottom - frame.bottom)), 1);
}

TEST_F(MainfrmWindowTest, TabVisitsTheButtonsThenTheListsAndSkipsHiddenControls) {
  window_.Load();
  HWND window = window_.Window();
  std::vector<HWND> visited;
  HWND at = Item(kCmdWriteEeprom);
  for (int i = 0; i < 6; ++i) {
    at = GetNextDlgTabItem(window, at, FALSE);
    visited.push_back(at);
  }
  EXPECT_EQ(visited, (std::vector<HWND>{Item(kCmdExit), Item(kCombo1), Item(kCombo2), Item(kCombo3),
                                        Item(kCombo4), Item(kCmdWriteEeprom)}));
}

TEST_F(MainfrmWindowTest, SecondCopyEndsBeforeShowingOrTouchingTheFile) {
  guard_.anotherRunning = true;
  window_.Load();
  EXPECT_TRUE(window_.ProgramEnded());
  EXPECT_FALSE(IsWindow(window_.Window()));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "JOYSTICK.INI"));
  EXPECT_EQ(platform_.listCalls, 0);
}

TEST_F(MainfrmWindowTest, LabelsArePaintedInTheirColoursAndTheConnectionLabelFitsItsText) {
  window_.Load();
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(BrushColour(LabelColour(kLabel1, dc)), RGB(255, 255, 192));
  EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 192));
  EXPECT_EQ(BrushColour(LabelColour(kLabelUsbConnect, dc)), RGB(255, 0, 0));
  const RECT unconnected = RectInParent(Item(kLabelUsbConnect));

  Connect();
  EXPECT_EQ(BrushColour(LabelColour(kLabelUsbConnect, dc)), RGB(0, 255, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(0, 255, 0));
  const RECT connected = RectInParent(Item(kLabelUsbConnect));
  EXPECT_EQ(connected.left, unconnected.left);
  EXPECT_EQ(connected.top, unconnected.top);
  EXPECT_LT(connected.right - connected.left, unconnected.right - unconnected.left)
      << "narrowed to the shorter text";
  DeleteDC(dc);

  // The status line comes from the device's reply.
  Tick();
  EXPECT_EQ(TextOf(Item(kLabelJoyState)), L"Current Status: 3.0deg, 0, 1, 20ms, X= 128,Y= 127");
  EXPECT_EQ(TextOf(Item(kLabelXy)), L" x=-300,y= 25");
}

TEST_F(MainfrmWindowTest, WriteEepromSendsTheChosenEntriesAndSavesThem) {
  window_.Load();
  fakes::SimJoystick& joystick = Connect();
  SendMessageW(Item(kCombo1), CB_SETCURSEL, 8, 0);
  SendMessageW(Item(kCombo3), CB_SETCURSEL, 0, 0);
  joystick.received.clear();
  Click(kCmdWriteEeprom);
  ASSERT_EQ(joystick.received.size(), 1u);
  EXPECT_EQ(
      std::vector<std::uint8_t>(joystick.received[0].begin(), joystick.received[0].begin() + 6),
      (std::vector<std::uint8_t>{0x00, 0x3A, 8, 5, 0, 1}));
  EXPECT_EQ(joystick.eeprom, (settings::JoystickSettings{8, 5, 0, 1}));
  EXPECT_EQ(fakes::ReadFile(dir_.path() / "JOYSTICK.INI"),
            "[TRIVEXA]\r\nDeadZoneAngle= 8\r\nMaximumAngleOffset= 5\r\nMoveThreshold= 0\r\n"
            "TimeInterval= 1\r\n");
  EXPECT_TRUE(window_.Timer().Enabled());
}

TEST_F(MainfrmWindowTest, TypedTextLeavesItsListWithoutSelection) {
  window_.Load();
  fakes::SimJoystick& joystick = Connect();
  HWND edit = FindWindowExW(Item(kCombo2), nullptr, L"Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  SendMessageW(edit, WM_CHAR, L'7', 0);
  joystick.received.clear();
  Click(kCmdWriteEeprom);
  // Whatever the handler makes of a list without selection, no byte outside
  // the offset table (0 to 10) reaches the device.
  for (const std::vector<std::uint8_t>& report : joystick.received) {
    EXPECT_LE(report[3], 10);
  }
  // Choosing an entry again selects it.
  SendMessageW(Item(kCombo2), CB_SETCURSEL, 2, 0);
  SendMessageW(window_.Window(), WM_COMMAND, MAKEWPARAM(kCombo2, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(Item(kCombo2)));
  joystick.received.clear();
  Click(kCmdWriteEeprom);
  ASSERT_EQ(joystick.received.size(), 1u);
  EXPECT_EQ(joystick.received[0][3], 2);
}

TEST_F(MainfrmWindowTest, ExitTellsTheDeviceOnceAndEndsWithoutTheUnloadHandler) {
  window_.Load();
  fakes::SimJoystick& joystick = Connect();
  Click(kCmdExit);
  EXPECT_EQ(joystick.closeCommands, 1);
  EXPECT_TRUE(window_.ProgramEnded());
  EXPECT_FALSE(IsWindow(window_.Window()));
  EXPECT_EQ(platform_.OpenHandleCount(), 0);
  MSG message{};
  EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainfrmWindowTest, CloseBoxTellsTheDeviceOnceAndCloses) {
  window_.Load();
  fakes::SimJoystick& joystick = Connect();
  SendMessageW(window_.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(joystick.closeCommands, 1);
  EXPECT_FALSE(IsWindow(window_.Window()));
  EXPECT_EQ(platform_.OpenHandleCount(), 0);
}

TEST_F(MainfrmWindowTest, ATickQueuedBeforeTheTimerStoppedIsDropped) {
  window_.Load();
  window_.Timer().SetEnabled(false);
  Tick();
  EXPECT_EQ(platform_.listCalls, 0);
  window_.Timer().SetEnabled(true);
  Tick();
  EXPECT_EQ(platform_.listCalls, 1);
}

}  // namespace
}  // namespace trivexa::app::win32
