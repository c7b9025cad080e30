#include <algorithm>
#include <string>
#include <utility>

#include "app/logic/command_line.h"
#include "app/logic/save_failure.h"
#include "app/win32/dpi.h"
#include "app/win32/mainfrm_window.h"

namespace trivexa::app::win32 {

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
    case WM_ERASEBKGND: {
      // With this window's own brush: a class brush would be the first
      // window's, deleted with it.
      RECT client{};
      GetClientRect(window_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client,
               brushes_.Brush(ToColorRef(kMainfrmWindow.background)));
      return TRUE;
    }
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
    case kFollowedJoystickMessage: {
      const std::string key = FollowedKey(logic_->Following());
      return key.empty() ? 0 : GlobalAddAtomW(Widen(key).c_str());
    }
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
    default: {
      const auto list = std::find(kListIds.begin(), kListIds.end(), id);
      if (list == kListIds.end()) break;
      ComboChoiceList& choices = *choiceLists_[static_cast<std::size_t>(list - kListIds.begin())];
      if (notification == CBN_EDITCHANGE) choices.OnTextTyped();
      if (notification == CBN_SELCHANGE) choices.OnEntryChosen();
      break;
    }
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
  return reinterpret_cast<LRESULT>(brushes_.Brush(background));
}

void Mainfrm::DrawButton(const DRAWITEMSTRUCT& item) {
  const ControlDefinition* control = DefinitionOf(item.hwndItem);
  const COLORREF face = control != nullptr && control->background ? ToColorRef(*control->background)
                                                                  : GetSysColor(COLOR_BTNFACE);
  const SystemColour text = control != nullptr ? control->textColour : SystemColour::kButtonText;
  PaintButton(item, face, TextColour(text), dpi_, brushes_);
}

}  // namespace trivexa::app::win32
