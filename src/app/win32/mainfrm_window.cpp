#include "app/win32/mainfrm_window.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/win32/resource_ids.h"

namespace trivexa::app::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"Trivexa.Mainfrm";
constexpr COLORREF kWindowBackground = RGB(255, 255, 192);
constexpr COLORREF kButtonFace = RGB(255, 192, 255);
constexpr int kClientWidthTwips = 8460;
constexpr int kClientHeightTwips = 3975;
constexpr int kTimerIntervalMs = 1000;
// Room for the open list of a drop-down combo, below its field.
constexpr int kDropDownListPixels = 200;

enum class Kind { kCombo, kButton, kListBox, kLabel };

struct ControlSpec {
  ControlId id;
  Kind kind;
  const wchar_t* text;
  int left, top, width, height;  // twips
  int tabIndex;
  bool shown;
};

// The window definition, in its own order; the controls are created in tab
// order, which is also the order the Tab key visits them in.
constexpr ControlSpec kControls[] = {
    {kCombo4, Kind::kCombo, L"", 3480, 2280, 1455, 330, 12, true},
    {kCombo3, Kind::kCombo, L"", 3480, 1680, 1455, 330, 10, true},
    {kCombo2, Kind::kCombo, L"", 3480, 1080, 1455, 330, 8, true},
    {kCombo1, Kind::kCombo, L"", 3480, 480, 1455, 330, 6, true},
    {kCmdWriteEeprom, Kind::kButton, L"Write EEPROM", 6120, 960, 1590, 645, 0, true},
    {kClear, Kind::kButton, L"Clear Log", 6000, 3960, 1350, 405, 3, false},
    {kLstResults, Kind::kListBox, L"", 120, 4440, 8175, 900, 2, false},
    {kCmdExit, Kind::kButton, L"EXIT", 6120, 2160, 1590, 525, 4, true},
    {kLabelXy, Kind::kLabel, L"", 720, 3720, 2175, 255, 15, false},
    {kLabel5, Kind::kLabel, L"Please keep the joystick on center point before write EEPROM.", 360,
     4200, 7335, 255, 14, false},
    {kLabel4, Kind::kLabel, L"Transmission interval :", 840, 2280, 2535, 255, 13, true},
    {kLabel3, Kind::kLabel, L"Movement threshold :", 840, 1680, 2535, 255, 11, true},
    {kLabel2, Kind::kLabel, L"Maximum angle offset :", 840, 1080, 2535, 255, 9, true},
    {kLabel1, Kind::kLabel, L"Dead zone angle :", 840, 480, 2535, 255, 7, true},
    {kLabelJoyState, Kind::kLabel, L"", 720, 3240, 6495, 255, 5, true},
    {kLabelUsbConnect, Kind::kLabel, L"Joystick unconnected", 5760, 360, 2400, 240, 1, true},
};

// "宋体" (SimSun) with the GB2312 character set; where it is missing the
// font mapper picks a face of that character set, which has the same texts.
HFONT MakeWindowFont(int tenthsOfPoints, int dpiY) {
  return CreateFontW(-MulDiv(tenthsOfPoints, dpiY, 720), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"\u5b8b\u4f53");
}

DWORD StyleOf(const ControlSpec& spec) {
  DWORD style = WS_CHILD | (spec.shown ? WS_VISIBLE : 0);
  switch (spec.kind) {
    case Kind::kCombo:
      return style | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
    case Kind::kButton:
      // Drawn by the window, so that the light pink shows in every theme.
      return style | WS_TABSTOP | BS_OWNERDRAW;
    case Kind::kListBox:
      return style | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT;
    case Kind::kLabel:
      // Device texts are shown as they are: no '&' mnemonics.
      return style | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
  }
  return style;
}

const wchar_t* ClassOf(Kind kind) {
  switch (kind) {
    case Kind::kCombo:
      return L"COMBOBOX";
    case Kind::kButton:
      return L"BUTTON";
    case Kind::kListBox:
      return L"LISTBOX";
    case Kind::kLabel:
      return L"STATIC";
  }
  return L"STATIC";
}

// The selection field of a drop-down combo is as high as its font makes it;
// its item height moves it to the height of the window definition. What the
// control reports as its item height need not be what it was given (Wine
// adds its border), so the field itself is measured after each step.
void FitComboField(HWND combo, int wantedHeight) {
  LRESULT item = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (item == CB_ERR) return;
  for (int attempt = 0; attempt < 4; ++attempt) {
    RECT outer{};
    GetWindowRect(combo, &outer);
    const int difference = wantedHeight - (outer.bottom - outer.top);
    if (difference == 0 || item + difference <= 0) return;
    item += difference;
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
  }
}

}  // namespace

Mainfrm::Mainfrm(HINSTANCE instance, hid::HidPlatform& platform, Clock& clock, InstanceGuard& guard,
                 settings::ProgramFolder programFolder)
    : instance_(instance) {
  HDC screen = GetDC(nullptr);
  dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
  dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  background_ = CreateSolidBrush(kWindowBackground);
  buttonFace_ = CreateSolidBrush(kButtonFace);
  connected_ = CreateSolidBrush(kConnectedColour);
  unconnected_ = CreateSolidBrush(kUnconnectedColour);
  windowFont_ = MakeWindowFont(105, dpiY_);
  connectionFont_ = MakeWindowFont(120, dpiY_);

  window_ = CreateWindowShell();
  BuildControls();

  connection_ = std::make_unique<ConnectionLabel>(Control(kLabelUsbConnect), connectionFont_);
  windowOps_ = std::make_unique<Win32WindowOps>(Control(kLstResults), *connection_,
                                                Control(kLabelJoyState), Control(kLabelXy));
  choiceLists_ = {std::make_unique<ComboChoiceList>(Control(kCombo1)),
                  std::make_unique<ComboChoiceList>(Control(kCombo2)),
                  std::make_unique<ComboChoiceList>(Control(kCombo3)),
                  std::make_unique<ComboChoiceList>(Control(kCombo4))};
  timer_ = std::make_unique<Win32PollTimer>(window_, kTimer1Id, kTimerIntervalMs);
  logic_ = std::make_unique<MainfrmLogic>(MainfrmParts{
      *windowOps_,
      {choiceLists_[0].get(), choiceLists_[1].get(), choiceLists_[2].get(), choiceLists_[3].get()},
      *timer_,
      clock,
      platform,
      guard,
      *this,
      std::move(programFolder)});

  // The label sizes itself to its text from the start, so its state at load
  // is exactly its "not connected" state.
  connection_->Show(false);
  // Enabled from the window definition: the first tick comes a second from
  // now, after start-up has ended.
  timer_->SetEnabled(true);
}

Mainfrm::~Mainfrm() {
  if (window_ != nullptr) {
    // No handler runs on the way out.
    ended_ = true;
    DestroyWindow(window_);
  }
  DeleteObject(windowFont_);
  DeleteObject(connectionFont_);
  DeleteObject(background_);
  DeleteObject(buttonFace_);
  DeleteObject(connected_);
  DeleteObject(unconnected_);
}

int Mainfrm::X(int twips) const { return MulDiv(twips, dpiX_, 1440); }
int Mainfrm::Y(int twips) const { return MulDiv(twips, dpiY_, 1440); }

HWND Mainfrm::CreateWindowShell() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Mainfrm::WindowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kIdiTrivexa));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIdiTrivexa),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = background_;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when a second window registers it again

  // A caption with the close box only: no minimize or maximize box, and a
  // fixed frame.
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  RECT frame{0, 0, X(kClientWidthTwips), Y(kClientHeightTwips)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  return CreateWindowExW(0, kWindowClass, L"Trivexa", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                         instance_, this);
}

void Mainfrm::BuildControls() {
  std::vector<const ControlSpec*> byTabIndex;
  for (const ControlSpec& spec : kControls) byTabIndex.push_back(&spec);
  std::sort(byTabIndex.begin(), byTabIndex.end(),
            [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });

  for (const ControlSpec* spec : byTabIndex) {
    const int height = Y(spec->height) + (spec->kind == Kind::kCombo ? kDropDownListPixels : 0);
    HWND control = CreateWindowExW(0, ClassOf(spec->kind), spec->text, StyleOf(*spec),
                                   X(spec->left), Y(spec->top), X(spec->width), height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec->id)),
                                   instance_, nullptr);
    SendMessageW(
        control, WM_SETFONT,
        reinterpret_cast<WPARAM>(spec->id == kLabelUsbConnect ? connectionFont_ : windowFont_),
        FALSE);
    if (spec->kind == Kind::kCombo) FitComboField(control, Y(spec->height));
  }
}

void Mainfrm::Load() { logic_->Form_Load(); }

void Mainfrm::ShowWindow() {
  if (ended_) return;
  if (!shownOnce_) {
    shownOnce_ = true;
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, workArea.left + (workArea.right - workArea.left - width) / 2,
                 workArea.top + (workArea.bottom - workArea.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  }
  ::ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  SetFocus(Control(kCmdWriteEeprom));
}

void Mainfrm::EndProgram() {
  // No unload handler on this path: the window goes away with the program.
  ended_ = true;
  timer_->SetEnabled(false);
  if (window_ != nullptr) DestroyWindow(window_);
}

int Mainfrm::RunMessageLoop() {
  MSG message{};
  while (!ended_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

LRESULT CALLBACK Mainfrm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<Mainfrm*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Mainfrm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT Mainfrm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      // A tick already queued when the timer was stopped is dropped.
      if (wParam == kTimer1Id && timer_ && timer_->Enabled() && !ended_) logic_->Timer1_Timer();
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnLabelColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_ACTIVATE:
      // Keep the focus on the control that had it, as a dialog does.
      if (LOWORD(wParam) == WA_INACTIVE) {
        focusBeforeDeactivation_ = GetFocus();
      } else if (focusBeforeDeactivation_ != nullptr && IsWindow(focusBeforeDeactivation_)) {
        SetFocus(focusBeforeDeactivation_);
        return 0;
      }
      break;
    case WM_CLOSE:
      // The close box: the unload handler never refuses.
      if (!ended_) {
        logic_->Form_Unload();
        ended_ = true;
        timer_->SetEnabled(false);
      }
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Mainfrm::OnCommand(int id, int notification) {
  if (ended_ || !logic_) return;
  switch (id) {
    case kCmdWriteEeprom:
      if (notification == BN_CLICKED) logic_->Cmd_WriteEEPROM_Click();
      break;
    case kCmdExit:
      if (notification == BN_CLICKED) logic_->Cmd_Exit_Click();
      break;
    case kClear:
      if (notification == BN_CLICKED) logic_->Clear_Click();
      break;
    case kCombo1:
    case kCombo2:
    case kCombo3:
    case kCombo4: {
      ComboChoiceList& list = *choiceLists_[static_cast<std::size_t>(kCombo1 - id)];
      if (notification == CBN_EDITCHANGE) list.OnTextTyped();
      if (notification == CBN_SELCHANGE) list.OnEntryChosen();
      break;
    }
    default:
      break;
  }
}

LRESULT Mainfrm::OnLabelColour(HDC dc, HWND label) {
  if (connection_ && label == Control(kLabelUsbConnect)) {
    const COLORREF colour = connection_->Colour();
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, colour);
    return reinterpret_cast<LRESULT>(colour == kConnectedColour ? connected_ : unconnected_);
  }
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, kWindowBackground);
  return reinterpret_cast<LRESULT>(background_);
}

void Mainfrm::DrawButton(const DRAWITEMSTRUCT& item) {
  RECT area = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &area, buttonFace_);
  DrawEdge(item.hDC, &area, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  wchar_t text[64] = {};
  GetWindowTextW(item.hwndItem, text, static_cast<int>(std::size(text)));
  RECT textArea = area;
  if (pressed) OffsetRect(&textArea, 1, 1);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(item.hDC, text, -1, &textArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = area;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(item.hDC, &focus);
  }
}

}  // namespace trivexa::app::win32
