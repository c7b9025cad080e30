#include "app/win32/mainfrm_window.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/win32/resource_ids.h"

namespace trivexa::app::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"Trivexa.Mainfrm";
// Room for the open list of a drop-down combo, below its field.
constexpr int kDropDownListPixels = 200;

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
    case ControlKind::kListBox:
      return style | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT;
    case ControlKind::kLabel:
      // Device texts are shown as they are: no '&' mnemonics.
      return style | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
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
      return L"LISTBOX";
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

Mainfrm::Mainfrm(HINSTANCE instance, hid::HidPlatform& platform, Clock& clock, InstanceGuard& guard,
                 settings::ProgramFolder programFolder)
    : instance_(instance) {
  HDC screen = GetDC(nullptr);
  dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
  dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  windowFont_ = MakeFont(kMainfrmWindow.font);

  window_ = CreateWindowShell();
  BuildControls();

  const auto connectionFont =
      reinterpret_cast<HFONT>(SendMessageW(Control(kLabelUsbConnect), WM_GETFONT, 0, 0));
  connection_ = std::make_unique<ConnectionLabel>(Control(kLabelUsbConnect), connectionFont);
  windowOps_ = std::make_unique<Win32WindowOps>(Control(kLstResults), *connection_,
                                                Control(kLabelJoyState), Control(kLabelXy));
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
}

int Mainfrm::X(int twips) const { return MulDiv(twips, dpiX_, 1440); }
int Mainfrm::Y(int twips) const { return MulDiv(twips, dpiY_, 1440); }

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
      CreateFontW(-MulDiv(static_cast<int>(font.points * 10 + 0.5), dpiY_, 720), 0, 0, 0,
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
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kIdiTrivexa));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIdiTrivexa),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = Brush(ToColorRef(kMainfrmWindow.background));
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when a second window registers it again

  // A caption with the close box only (as the definition has it), and a
  // fixed frame.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
  if (kMainfrmWindow.closeBox) style |= WS_SYSMENU;
  if (kMainfrmWindow.minimizeBox) style |= WS_MINIMIZEBOX;
  if (kMainfrmWindow.maximizeBox) style |= WS_MAXIMIZEBOX;
  RECT frame{0, 0, X(kMainfrmWindow.clientWidth), Y(kMainfrmWindow.clientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  return CreateWindowExW(0, kWindowClass, Widen(kMainfrmWindow.caption).c_str(), style,
                         CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                         frame.bottom - frame.top, nullptr, nullptr, instance_, this);
}

void Mainfrm::BuildControls() {
  // Created in tab order, which is the order the Tab key visits them in.
  std::vector<const ControlDefinition*> byTabIndex;
  for (const ControlDefinition& control : kMainfrmControls) {
    if (control.kind != ControlKind::kTimer) byTabIndex.push_back(&control);
  }
  std::sort(byTabIndex.begin(), byTabIndex.end(),
            [](const ControlDefinition* a, const ControlDefinition* b) {
              return a->tabIndex < b->tabIndex;
            });

  for (const ControlDefinition* control : byTabIndex) {
    const int id = IdOf(control->name);
    definitions_[id] = control;
    const TwipsRect& place = control->place;
    const int height =
        Y(place.height) + (control->kind == ControlKind::kDropDownCombo ? kDropDownListPixels : 0);
    HWND made =
        CreateWindowExW(0, ClassOf(control->kind), Widen(control->text).c_str(), StyleOf(*control),
                        X(place.left), Y(place.top), X(place.width), height, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    const HFONT font = control->font ? MakeFont(*control->font) : windowFont_;
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (control->kind == ControlKind::kDropDownCombo) FitComboField(made, Y(place.height));
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

  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = area;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(item.hDC, &focus);
  }
}

}  // namespace trivexa::app::win32
