#include "app/win32/mainfrm_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/win32/running_window.h"
#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "fakes/temp_dir.h"
#include "fakes/timeline.h"

namespace trivexa::app::win32 {
namespace {

constexpr ControlId kLabel1 = IdOf("Label1");
constexpr ControlId kLabel2 = IdOf("Label2");
constexpr ControlId kLabel3 = IdOf("Label3");
constexpr ControlId kLabel4 = IdOf("Label4");
constexpr ControlId kLabel5 = IdOf("Label5");
constexpr ControlId kLstResults = IdOf("lstResults");

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
  // Each list comes right after its caption, which is what names it for UI
  // Automation.
  EXPECT_EQ(GetWindow(Item(kCombo1), GW_HWNDPREV), Item(kLabel1));
  EXPECT_EQ(GetWindow(Item(kCombo2), GW_HWNDPREV), Item(kLabel2));
  EXPECT_EQ(GetWindow(Item(kCombo3), GW_HWNDPREV), Item(kLabel3));
  EXPECT_EQ(GetWindow(Item(kCombo4), GW_HWNDPREV), Item(kLabel4));
}

// Return presses the focused button and nothing else; Escape does nothing;
// Space still presses a button. Keys go through the dialog manager as the
// message loop hands them over.
TEST_F(MainfrmWindowTest, ReturnPressesTheFocusedButtonOnly) {
  window_.Load();
  fakes::SimJoystick& joystick = Connect();
  const auto press = [&](HWND focus, WPARAM key) {
    SetFocus(focus);
    for (const UINT message : {WM_KEYDOWN, WM_KEYUP}) {
      MSG keyMessage{GetFocus(), message, key, 1, 0, {}};
      if (!IsDialogMessageW(window_.Window(), &keyMessage)) DispatchMessageW(&keyMessage);
    }
  };
  const auto writes = [&] {
    return std::count_if(joystick.received.begin(), joystick.received.end(),
                         [](const auto& report) { return report[1] == 0x3A; });
  };

  press(Item(kCombo1), VK_RETURN);
  press(Item(kCombo4), VK_RETURN);
  press(Item(kCmdWriteEeprom), VK_ESCAPE);
  EXPECT_EQ(writes(), 0) << "no key but on the button writes";
  EXPECT_FALSE(window_.ProgramEnded());

  press(Item(kCmdWriteEeprom), VK_RETURN);
  EXPECT_EQ(writes(), 1);
  press(Item(kCmdWriteEeprom), VK_SPACE);
  EXPECT_EQ(writes(), 2);
  press(Item(kCmdExit), VK_RETURN);
  EXPECT_TRUE(window_.ProgramEnded());
  EXPECT_EQ(joystick.closeCommands, 1);
}

// The focus rectangle shows only once the keyboard is in use.
TEST_F(MainfrmWindowTest, ButtonsDrawNoFocusRectangleUntilTheKeyboardIsUsed) {
  window_.Load();
  HWND button = Item(kCmdWriteEeprom);
  RECT area{};
  GetClientRect(button, &area);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ previous = SelectObject(dc, bitmap);
  const auto draw = [&](UINT state) {
    DRAWITEMSTRUCT item{ODT_BUTTON, kCmdWriteEeprom, 0, ODA_DRAWENTIRE, state, button, dc, area, 0};
    SendMessageW(window_.Window(), WM_DRAWITEM, kCmdWriteEeprom, reinterpret_cast<LPARAM>(&item));
    std::vector<COLORREF> pixels;
    for (int y = 0; y < area.bottom; ++y) {
      for (int x = 0; x < area.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    }
    return pixels;
  };
  const std::vector<COLORREF> unfocused = draw(0);
  EXPECT_NE(draw(ODS_FOCUS), unfocused);
  EXPECT_EQ(draw(ODS_FOCUS | ODS_NOFOCUSRECT), unfocused);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// Moved to a monitor of 144 dpi the window takes the rectangle Windows
// suggests, with the defined client area at 144 dpi, and every control and
// font grows by half; back at 96 dpi all is as before.
TEST_F(MainfrmWindowTest, ADpiChangeLaysTheWindowOutAgain) {
  window_.Load();
  HWND window = window_.Window();
  const std::vector<ControlId> ids = {kCmdWriteEeprom, kCmdExit,        kCombo1, kCombo4,
                                      kLabel1,         kLabel4,         kClear,  kLabelJoyState,
                                      kLabelXy,        kLabelUsbConnect};
  std::vector<RECT> at96;
  for (const ControlId id : ids) at96.push_back(RectInParent(Item(id)));
  const auto fontHeight = [&] {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Item(kLabel1), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfHeight;
  };
  // Windows asks for the size at the new DPI (WM_GETDPISCALEDSIZE), then
  // suggests a rectangle of it (WM_DPICHANGED).
  const auto moveTo = [&](int dpi, RECT wantedClient, LONG wantedFont) {
    SIZE size{};
    EXPECT_TRUE(
        SendMessageW(window, 0x02E4, static_cast<WPARAM>(dpi), reinterpret_cast<LPARAM>(&size)));
    RECT frame{};
    GetWindowRect(window, &frame);
    RECT suggested{frame.left, frame.top, frame.left + size.cx, frame.top + size.cy};
    SendMessageW(window, 0x02E0, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, suggested.left);
    EXPECT_EQ(frame.top, suggested.top);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_TRUE(EqualRect(&client, &wantedClient));
    EXPECT_EQ(window_.Dpi(), dpi);
    EXPECT_EQ(fontHeight(), wantedFont);
    const double scale = dpi / 96.0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      SCOPED_TRACE(ids[i]);
      const RECT rect = RectInParent(Item(ids[i]));
      const double width = at96[i].right - at96[i].left;
      const double height = at96[i].bottom - at96[i].top;
      // Rounding to whole pixels; the connection label fits its text in the
      // new font, whose widths round in their own way.
      const double slack = dpi == 96 ? 0 : ids[i] == kLabelUsbConnect ? 0.1 * width : 1.5;
      EXPECT_NEAR(rect.left, at96[i].left * scale, dpi == 96 ? 0 : 1);
      EXPECT_NEAR(rect.top, at96[i].top * scale, dpi == 96 ? 0 : 1);
      EXPECT_NEAR(rect.right - rect.left, width * scale, slack);
      EXPECT_NEAR(rect.bottom - rect.top, height * scale, slack);
    }
  };
  EXPECT_EQ(fontHeight(), -14);  // 10.5 pt at 96 dpi
  moveTo(144, {0, 0, 846, 398}, -21);
  moveTo(96, {0, 0, 564, 265}, -14);
}

TEST_F(MainfrmWindowTest, SecondCopyEndsBeforeShowingOrTouchingTheFile) {
  guard_.anotherRunning = true;
  window_.Load();
  EXPECT_TRUE(window_.ProgramEnded());
  EXPECT_FALSE(IsWindow(window_.Window()));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "JOYSTICK.INI"));
  EXPECT_EQ(platform_.listCalls, 0);
}

// A second start finds the running window by its class and brings it in
// front of another program's window.
TEST_F(MainfrmWindowTest, ASecondStartBringsTheRunningWindowToTheFront) {
  window_.Load();
  HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_EQ(GetForegroundWindow(), other);
  EXPECT_TRUE(RaiseRunningWindow());
  EXPECT_EQ(GetForegroundWindow(), window_.Window());
  DestroyWindow(other);
  DestroyWindow(window_.Window());
  EXPECT_FALSE(RaiseRunningWindow()) << "no window left to raise";
}

// The log keeps its lines, its selection and its clearing, but in no
// control: nothing of it can reach assistive technology.
TEST_F(MainfrmWindowTest, TheLogIsKeptOutsideEveryControl) {
  window_.Load();
  Connect();
  EXPECT_EQ(FindWindowExW(window_.Window(), nullptr, L"ListBox", nullptr), nullptr);
  EXPECT_EQ(Item(kLstResults), nullptr);
  const std::vector<std::string>& log = window_.Ops().LogLines();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "  ProductName: Mouse");
  EXPECT_EQ(log.back(), "  Joystick Communications OK!");
  EXPECT_EQ(window_.Ops().SelectedLogLine(), static_cast<int>(log.size()) - 1);
  SendMessageW(window_.Window(), WM_COMMAND, MAKEWPARAM(kClear, BN_CLICKED),
               reinterpret_cast<LPARAM>(Item(kClear)));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(window_.Ops().SelectedLogLine(), -1);
}

TEST_F(MainfrmWindowTest, LabelsArePaintedInTheirColoursAndTheConnectionLabelFitsItsText) {
  window_.Load();
  HDC dc = CreateCompatibleDC(nullptr);
  // The window's background, in a window made after earlier ones ended.
  HDC screen = GetDC(nullptr);
  HBITMAP canvas = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  HGDIOBJ original = SelectObject(dc, canvas);
  SendMessageW(window_.Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  EXPECT_EQ(GetPixel(dc, 4, 4), RGB(255, 255, 192));
  SelectObject(dc, original);
  DeleteObject(canvas);
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

// The box of a failed save opens once the click has ended; a hook sees it
// become active, reads it and closes it.
std::wstring shownBoxText;

LRESULT CALLBACK ReadAndCloseTheBox(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const auto box = reinterpret_cast<HWND>(wParam);
    wchar_t className[16] = {};
    GetClassNameW(box, className, 16);
    if (std::wstring(className) == L"#32770") {
      shownBoxText = TextOf(box) + L"\n";
      EnumChildWindows(
          box,
          [](HWND child, LPARAM) -> BOOL {
            wchar_t text[1024] = {};
            GetWindowTextW(child, text, 1024);
            shownBoxText += std::wstring(text) + L"\n";
            return TRUE;
          },
          0);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainfrmWindowTest, ASaveThatFailsOpensABoxNamingTheFileOnceTheClickHasEnded) {
  window_.Load();
  fakes::SimJoystick& joystick = Connect();
  std::filesystem::remove(dir_.path() / "JOYSTICK.INI");
  std::filesystem::create_directory(dir_.path() / "JOYSTICK.INI");
  SendMessageW(Item(kCombo1), CB_SETCURSEL, 8, 0);
  Click(kCmdWriteEeprom);
  EXPECT_EQ(joystick.eeprom.deadZoneIndex, 8);
  MSG pending{};
  ASSERT_TRUE(
      PeekMessageW(&pending, window_.Window(), kSaveFailedMessage, kSaveFailedMessage, PM_REMOVE));
  shownBoxText.clear();
  HHOOK hook = SetWindowsHookExW(WH_CBT, ReadAndCloseTheBox, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  DispatchMessageW(&pending);  // returns once the box is closed
  UnhookWindowsHookEx(hook);
  EXPECT_TRUE(shownBoxText.starts_with(L"Trivexa\n"));
  EXPECT_NE(shownBoxText.find((dir_.path() / "JOYSTICK.INI").wstring()), std::wstring::npos)
      << std::string(shownBoxText.begin(), shownBoxText.end());
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
