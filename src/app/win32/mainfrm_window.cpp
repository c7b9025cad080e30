#include "app/win32/mainfrm_window.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/logic/save_failure.h"
#include "app/win32/resource_ids.h"

namespace trivexa::app::win32 {
namespace {

// Room for the open list of a drop-down combo, below its field, at 96 dpi.
constexpr int kDropDownListPixels = 200;
constexpr int kDefaultDpi = 96;
constexpr int kTwipsPerInch = 1440;
// Messages of Windows 10 (1607 and 1703); not every SDK names them.
constexpr UINT kWmDpiChanged = 0x02E0;
constexpr UINT kWmGetDpiScaledSize = 0x02E4;

// Functions of Windows 10 are looked up at run time, so the program still
// starts where they are missing (older systems, Wine).
template <typename Function>
Function User32Function(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The DPI of the monitor the window is on, for a per-monitor aware program;
// the system's DPI otherwise.
int DpiOfWindow(HWND window) {
  static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return dpi > 0 ? dpi : kDefaultDpi;
}

int SystemMetric(int index, int dpi) {
  static const auto forDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

// Each list's caption is created just before its list: the static text that
// precedes a control names it for UI Automation and screen readers. Labels
// take no focus, so the Tab order stays that of the tab indexes.
struct Caption {
  std::string_view label;
  std::string_view list;
};
constexpr Caption kCaptions[] = {
    {"Label1", "Combo1"}, {"Label2", "Combo2"}, {"Label3", "Combo3"}, {"Label4", "Combo4"}};

bool IsCaption(std::string_view name) {
  return std::any_of(std::begin(kCaptions), std::end(kCaptions),
                     [&](const Caption& caption) { return caption.label == name; });
}

const ControlDefinition* CaptionOf(std::string_view list) {
  for (const Caption& caption : kCaptions) {
    if (caption.list == list) return FindMainfrmControl(caption.label);
  }
  return nullptr;
}

// Whether the process behind `window` runs as this same user: a copy of
// another account's (runas, on the same desktop) is left alone.
std::vector<unsigned char> UserOfProcess(HANDLE process) {
  std::vector<unsigned char> user;
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return user;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  user.resize(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
  CloseHandle(token);
  return user;
}

bool SameUser(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return false;
  const std::vector<unsigned char> theirs = UserOfProcess(process);
  CloseHandle(process);
  const std::vector<unsigned char> ours = UserOfProcess(GetCurrentProcess());
  if (theirs.empty() || ours.empty()) return false;
  return EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                  reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid) != FALSE;
}

// The control ids of the window definition's names.
struct NamedId {
  std::string_view name;
  ControlId id;
};
constexpr NamedId kControlIds[] = {
    {"Combo4", kCombo4},
    {"Combo3", kCombo3},
    {"Combo2", kCombo2},
    {"Combo1", kCombo1},
    {"Cmd_WriteEEPROM", kCmdWriteEeprom},
    {"Clear", kClear},
    {"lstResults", kLstResults},
    {"Cmd_Exit", kCmdExit},
    {"Label_XY", kLabelXy},
    {"Label5", kLabel5},
    {"Label4", kLabel4},
    {"Label3", kLabel3},
    {"Label2", kLabel2},
    {"Label1", kLabel1},
    {"Label_JoyState", kLabelJoyState},
    {"Label_USBConnect", kLabelUsbConnect},
};

constexpr int IdOf(std::string_view name) {
  for (const NamedId& entry : kControlIds) {
    if (entry.name == name) return entry.id;
  }
  return 0;
}

const ControlDefinition& TimerDefinition() { return *FindMainfrmControl("Timer1"); }

COLORREF TextColour(SystemColour colour) {
  return GetSysColor(colour == SystemColour::kWindowText ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
}

DWORD StyleOf(const ControlDefinition& control) {
  const DWORD style = WS_CHILD | (control.shown ? WS_VISIBLE : 0);
  switch (control.kind) {
    case ControlKind::kDropDownCombo:
      return style | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
    case ControlKind::kButton:
      // Drawn by the window, so that its colour shows in every theme.
      return style | WS_TABSTOP | BS_OWNERDRAW;
    case ControlKind::kLabel:
      // Device texts are shown as they are: no '&' mnemonics.
      return style | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
    case ControlKind::kListBox:
    case ControlKind::kTimer:
      break;
  }
  return style;
}

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDropDownCombo:
      return L"COMBOBOX";
    case ControlKind::kButton:
      return L"BUTTON";
    case ControlKind::kListBox:
    case ControlKind::kLabel:
    case ControlKind::kTimer:
      break;
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

bool RaiseRunningWindow() {
  for (HWND window = FindWindowExW(nullptr, nullptr, kMainfrmClass, nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, kMainfrmClass, nullptr)) {
    if (!SameUser(window)) continue;
    if (IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
    if (!SetForegroundWindow(window)) {
      FLASHWINFO flash{sizeof flash, window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
      FlashWindowEx(&flash);
    }
    return true;
  }
  return false;
}

Mainfrm::Mainfrm(HINSTANCE instance, hid::HidPlatform& platform, Clock& clock, InstanceGuard& guard,
                 settings::ProgramFolder programFolder)
    : instance_(instance) {
  window_ = CreateWindowShell();
  // Laid out for the monitor the window is on.
  dpi_ = DpiOfWindow(window_);
  SizeFrame();
  BuildControls();
  LayOut();
  // No focus rectangle until the keyboard is used (unless the last input
  // came from it, or the user asked to see them always).
  SendMessageW(window_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);

  const auto connectionFont =
      reinterpret_cast<HFONT>(SendMessageW(Control(kLabelUsbConnect), WM_GETFONT, 0, 0));
  connection_ = std::make_unique<ConnectionLabel>(Control(kLabelUsbConnect), connectionFont);
  windowOps_ =
      std::make_unique<Win32WindowOps>(*connection_, Control(kLabelJoyState), Control(kLabelXy));
  choiceLists_ = {std::make_unique<ComboChoiceList>(Control(kCombo1)),
                  std::make_unique<ComboChoiceList>(Control(kCombo2)),
                  std::make_unique<ComboChoiceList>(Control(kCombo3)),
                  std::make_unique<ComboChoiceList>(Control(kCombo4))};
  timer_ = std::make_unique<Win32PollTimer>(window_, kTimer1Id, TimerDefinition().timerIntervalMs);
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
  timer_->SetEnabled(TimerDefinition().timerEnabled);
}

Mainfrm::~Mainfrm() {
  if (window_ != nullptr) {
    // No handler runs on the way out.
    ended_ = true;
    DestroyWindow(window_);
  }
  for (HFONT font : fonts_) DeleteObject(font);
  for (const auto& [colour, brush] : brushes_) DeleteObject(brush);
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

int Mainfrm::Px(int twips) const { return MulDiv(twips, dpi_, kTwipsPerInch); }

SIZE Mainfrm::FrameSize(int dpi) const {
  static const auto adjustForDpi =
      User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, MulDiv(kMainfrmWindow.clientWidth, dpi, kTwipsPerInch),
             MulDiv(kMainfrmWindow.clientHeight, dpi, kTwipsPerInch)};
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  const auto extended = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
  if (adjustForDpi != nullptr) {
    adjustForDpi(&frame, style, FALSE, extended, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&frame, style, FALSE, extended);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

HBRUSH Mainfrm::Brush(COLORREF colour) {
  auto [it, added] = brushes_.try_emplace(colour, nullptr);
  if (added) it->second = CreateSolidBrush(colour);
  return it->second;
}

// "宋体" (SimSun) with its character set; where the face is missing the font
// mapper picks one of that character set, which shows the same texts.
HFONT Mainfrm::MakeFont(const FontDefinition& font) {
  const std::wstring face = Widen(font.face);
  HFONT made =
      CreateFontW(-MulDiv(static_cast<int>(font.points * 10 + 0.5), dpi_, 720), 0, 0, 0,
                  font.weight, font.italic, font.underline, font.strikeOut,
                  static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  fonts_.push_back(made);
  return made;
}

const ControlDefinition* Mainfrm::DefinitionOf(HWND control) const {
  const auto it = definitions_.find(GetDlgCtrlID(control));
  return it == definitions_.end() ? nullptr : it->second;
}

HWND Mainfrm::CreateWindowShell() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Mainfrm::WindowProc;
  windowClass.hInstance = instance_;
  // The icons are set per window, in the sizes of its monitor's DPI.
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = Brush(ToColorRef(kMainfrmWindow.background));
  windowClass.lpszClassName = kMainfrmClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when a second window registers it again

  // A caption with the close box only (as the definition has it), and a
  // fixed frame. Its size follows once the DPI of its monitor is known.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
  if (kMainfrmWindow.closeBox) style |= WS_SYSMENU;
  if (kMainfrmWindow.minimizeBox) style |= WS_MINIMIZEBOX;
  if (kMainfrmWindow.maximizeBox) style |= WS_MAXIMIZEBOX;
  return CreateWindowExW(0, kMainfrmClass, Widen(kMainfrmWindow.caption).c_str(), style,
                         CW_USEDEFAULT, CW_USEDEFAULT, Px(kMainfrmWindow.clientWidth),
                         Px(kMainfrmWindow.clientHeight), nullptr, nullptr, instance_, this);
}

void Mainfrm::BuildControls() {
  // Created in tab order, which is the order the Tab key visits them in.
  std::vector<const ControlDefinition*> byTabIndex;
  for (const ControlDefinition& control : kMainfrmControls) {
    // The log is kept by the window operations, not in a control.
    if (control.kind != ControlKind::kTimer && control.kind != ControlKind::kListBox) {
      byTabIndex.push_back(&control);
    }
  }
  std::sort(byTabIndex.begin(), byTabIndex.end(),
            [](const ControlDefinition* a, const ControlDefinition* b) {
              return a->tabIndex < b->tabIndex;
            });

  std::vector<const ControlDefinition*> created;
  for (const ControlDefinition* control : byTabIndex) {
    if (IsCaption(control->name)) continue;
    if (const ControlDefinition* caption = CaptionOf(control->name)) created.push_back(caption);
    created.push_back(control);
  }

  for (const ControlDefinition* control : created) {
    const int id = IdOf(control->name);
    definitions_[id] = control;
    CreateWindowExW(0, ClassOf(control->kind), Widen(control->text).c_str(), StyleOf(*control), 0,
                    0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                    nullptr);
  }
}

void Mainfrm::LayOut() {
  // The fonts of the previous DPI go once every control has its new one.
  const std::vector<HFONT> previous = std::move(fonts_);
  fonts_.clear();
  windowFont_ = MakeFont(kMainfrmWindow.font);
  for (const auto& [id, control] : definitions_) {
    PlaceControl(GetDlgItem(window_, id), *control,
                 control->font ? MakeFont(*control->font) : windowFont_);
  }
  // The connection label keeps its place and fits its text in the new font.
  if (connection_) {
    connection_->SetFont(
        reinterpret_cast<HFONT>(SendMessageW(Control(kLabelUsbConnect), WM_GETFONT, 0, 0)));
  }
  for (HFONT font : previous) DeleteObject(font);
  LoadIcons();
}

void Mainfrm::PlaceControl(HWND control, const ControlDefinition& definition, HFONT font) const {
  const TwipsRect& place = definition.place;
  const bool combo = definition.kind == ControlKind::kDropDownCombo;
  const int height =
      Px(place.height) + (combo ? MulDiv(kDropDownListPixels, dpi_, kDefaultDpi) : 0);
  SetWindowPos(control, nullptr, Px(place.left), Px(place.top), Px(place.width), height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (combo) FitComboField(control, Px(place.height));
}

// The icon in the sizes Windows shows at this DPI (title bar, Alt+Tab), each
// chosen from the images of the .ico.
void Mainfrm::LoadIcons() {
  const auto load = [&](int width, int height) {
    return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIdiTrivexa), IMAGE_ICON,
                                         SystemMetric(width, dpi_), SystemMetric(height, dpi_), 0));
  };
  HICON big = load(SM_CXICON, SM_CYICON);
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  bigIcon_ = big;
  smallIcon_ = small;
}

void Mainfrm::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  LayOut();
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea();
  InvalidateRect(window_, nullptr, TRUE);
}

void Mainfrm::SizeFrame() {
  const SIZE frame = FrameSize(dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea();
}

// Where the frame did not grow with the DPI as the system said it would (a
// window whose frame the system draws at another DPI, as Wine does), the
// client area is set right by the difference, its top left corner staying.
void Mainfrm::FitClientArea() {
  RECT client{};
  RECT frame{};
  GetClientRect(window_, &client);
  GetWindowRect(window_, &frame);
  const int wider = Px(kMainfrmWindow.clientWidth) - client.right;
  const int higher = Px(kMainfrmWindow.clientHeight) - client.bottom;
  if (wider == 0 && higher == 0) return;
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + wider,
               frame.bottom - frame.top + higher, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Mainfrm::Load() { logic_->Form_Load(); }

void Mainfrm::ShowWindow() {
  if (ended_) return;
  if (!shownOnce_) {
    shownOnce_ = true;
    // Centred on the screen. Where the window was made on a monitor of
    // another DPI, it is laid out again for this one and centred anew.
    for (int pass = 0; pass < 2; ++pass) {
      RECT workArea{};
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
      RECT frame{};
      GetWindowRect(window_, &frame);
      const int width = frame.right - frame.left;
      const int height = frame.bottom - frame.top;
      SetWindowPos(window_, nullptr, workArea.left + (workArea.right - workArea.left - width) / 2,
                   workArea.top + (workArea.bottom - workArea.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
      const int dpi = DpiOfWindow(window_);
      if (dpi == dpi_) break;
      dpi_ = dpi;
      SizeFrame();
      LayOut();
    }
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

void Mainfrm::ReportSaveFailure(const settings::SaveResult& result) {
  saveFailure_ = Widen(SaveFailureText(result));
  if (window_ != nullptr) PostMessageW(window_, kSaveFailedMessage, 0, 0);
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
    case kWmGetDpiScaledSize:
      // The exact size at the new DPI, so that the rectangle WM_DPICHANGED
      // suggests holds the client area of the definition.
      *reinterpret_cast<SIZE*>(lParam) = FrameSize(static_cast<int>(LOWORD(wParam)));
      return TRUE;
    case kWmDpiChanged:
      OnDpiChanged(static_cast<int>(LOWORD(wParam)), *reinterpret_cast<const RECT*>(lParam));
      return 0;
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
    case kSaveFailedMessage:
      if (!saveFailure_.empty() && !ended_) {
        const std::wstring text = std::exchange(saveFailure_, std::wstring());
        MessageBoxW(window_, text.c_str(), Widen(kSaveFailureCaption).c_str(),
                    MB_OK | MB_ICONWARNING);
      }
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
    case IDOK:
      PressFocusedButton();
      break;
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

void Mainfrm::PressFocusedButton() {
  // The dialog manager sends IDOK for Return, since the owner-drawn buttons
  // are no push buttons to it. Only a focused, shown button is pressed:
  // Return in a list presses nothing, and Escape (IDCANCEL) does nothing,
  // as the window has no cancel button.
  HWND focus = GetFocus();
  if (focus == nullptr || GetParent(focus) != window_ || !IsWindowVisible(focus)) return;
  const ControlDefinition* control = DefinitionOf(focus);
  if (control == nullptr || control->kind != ControlKind::kButton) return;
  OnCommand(GetDlgCtrlID(focus), BN_CLICKED);
}

LRESULT Mainfrm::OnLabelColour(HDC dc, HWND label) {
  const ControlDefinition* control = DefinitionOf(label);
  if (control == nullptr) return 0;
  COLORREF background = ToColorRef(control->background.value_or(kMainfrmWindow.background));
  // The connection label's colour follows the connection, not the table.
  if (connection_ && label == Control(kLabelUsbConnect)) background = connection_->Colour();
  SetTextColor(dc, TextColour(control->textColour));
  SetBkColor(dc, background);
  return reinterpret_cast<LRESULT>(Brush(background));
}

void Mainfrm::DrawButton(const DRAWITEMSTRUCT& item) {
  RECT area = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const ControlDefinition* control = DefinitionOf(item.hwndItem);
  const COLORREF face = control != nullptr && control->background ? ToColorRef(*control->background)
                                                                  : GetSysColor(COLOR_BTNFACE);
  FillRect(item.hDC, &area, Brush(face));
  DrawEdge(item.hDC, &area, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  wchar_t text[64] = {};
  GetWindowTextW(item.hwndItem, text, static_cast<int>(std::size(text)));
  RECT textArea = area;
  if (pressed) OffsetRect(&textArea, 1, 1);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC,
               TextColour(control != nullptr ? control->textColour : SystemColour::kButtonText));
  DrawTextW(item.hDC, text, -1, &textArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  // The focus rectangle only once the keyboard has been used.
  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT focus = area;
    const int inset = MulDiv(4, dpi_, kDefaultDpi);
    InflateRect(&focus, -inset, -inset);
    DrawFocusRect(item.hDC, &focus);
  }
}

}  // namespace trivexa::app::win32
