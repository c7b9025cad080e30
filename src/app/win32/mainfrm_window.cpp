#include "app/win32/mainfrm_window.h"

#include <string>
#include <utility>

#include "app/logic/save_failure.h"
#include "app/win32/dpi.h"

namespace trivexa::app::win32 {
namespace {

constexpr const ControlDefinition& kTimer1 = kMainfrmControls[MainfrmControlIndex("Timer1")];

}  // namespace

Mainfrm::Mainfrm(HINSTANCE instance, hid::HidPlatform& platform, Clock& clock, InstanceGuard& guard,
                 settings::ProgramFolder programFolder, std::optional<hid::NumberedJoystick> chosen)
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
  windowOps_ = std::make_unique<Win32WindowOps>(window_, *connection_, Control(kLabelJoyState),
                                                Control(kLabelXy));
  for (std::size_t list = 0; list < kListIds.size(); ++list) {
    choiceLists_[list] = std::make_unique<ComboChoiceList>(Control(kListIds[list]));
  }
  timer_ = std::make_unique<Win32PollTimer>(window_, kTimer1Id, kTimer1.timerIntervalMs);
  logic_ = std::make_unique<MainfrmLogic>(MainfrmParts{
      *windowOps_,
      {choiceLists_[0].get(), choiceLists_[1].get(), choiceLists_[2].get(), choiceLists_[3].get()},
      *timer_,
      clock,
      platform,
      guard,
      *this,
      std::move(programFolder),
      std::move(chosen)});

  // The label sizes itself to its text from the start, so its state at load
  // is exactly its "not connected" state.
  connection_->Show(false);
  // Enabled from the window definition: the first tick comes a second from
  // now, after start-up has ended.
  timer_->SetEnabled(kTimer1.timerEnabled);
}

Mainfrm::~Mainfrm() {
  if (window_ != nullptr) {
    // No handler runs on the way out.
    ended_ = true;
    DestroyWindow(window_);
  }
  for (HFONT font : fonts_) DeleteObject(font);
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

const ControlDefinition* Mainfrm::DefinitionOf(HWND control) const {
  return DefinitionOfId(GetDlgCtrlID(control));
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

}  // namespace trivexa::app::win32
