#include "app/win32/win32_adapters.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace trivexa::app::win32 {

void ShowNow(HWND label) {
  // The handlers keep the message loop waiting for seconds at a time (a
  // scan pauses 100 ms per interface): a label repaints at once rather than
  // standing blank until the handler ends.
  UpdateWindow(label);
}

void ConnectionLabel::Show(bool connected) {
  // Colour first, then the text, then the size the text needs.
  const ConnectionLook& look = connected ? kConnectedLook : kUnconnectedLook;
  colour_ = ToColorRef(look.background);
  SetWindowTextW(label_, Widen(look.text).c_str());
  FitToText();
}

void ConnectionLabel::SetFont(HFONT font) {
  font_ = font;
  SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  FitToText();
}

void ConnectionLabel::FitToText() {
  wchar_t text[64] = {};
  GetWindowTextW(label_, text, static_cast<int>(std::size(text)));
  HDC dc = GetDC(label_);
  const HGDIOBJ previous = SelectObject(dc, font_);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent);
  SelectObject(dc, previous);
  ReleaseDC(label_, dc);
  SetWindowPos(label_, nullptr, 0, 0, extent.cx, extent.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(label_, nullptr, TRUE);
  ShowNow(label_);
}

void Win32WindowOps::AppendLog(std::string_view line) { log_.emplace_back(line); }

void Win32WindowOps::SelectLastLog() {
  // -1 on an empty log selects nothing.
  selected_ = static_cast<int>(log_.size()) - 1;
}

void Win32WindowOps::ClearLog() {
  log_.clear();
  selected_ = -1;
}

std::int16_t Win32WindowOps::LogLineCount() const {
  return static_cast<std::int16_t>(
      std::min<std::size_t>(log_.size(), std::numeric_limits<std::int16_t>::max()));
}

void Win32WindowOps::SetConnectionLabel(bool connected) { connection_.Show(connected); }

void Win32WindowOps::SetStatusText(std::string_view text) {
  SetWindowTextW(status_, Widen(text).c_str());
  ShowNow(status_);
}

void Win32WindowOps::SetPositionText(std::string_view text) {
  SetWindowTextW(position_, Widen(text).c_str());
  ShowNow(position_);
}

void Win32WindowOps::SetTitle(std::string_view title) {
  SetWindowTextW(window_, Widen(title).c_str());
}

void ComboChoiceList::Clear() { SendMessageW(combo_, CB_RESETCONTENT, 0, 0); }

void ComboChoiceList::Append(std::string_view text) {
  const std::wstring wide = Widen(text);
  SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

bool ComboChoiceList::Select(int index) {
  if (index < -1 || index >= Count()) return false;
  SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  typed_ = false;
  return true;
}

std::int16_t ComboChoiceList::SelectedIndex() const {
  if (typed_) return -1;
  const LRESULT index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  if (index < 0 || index > std::numeric_limits<std::int16_t>::max()) return -1;
  return static_cast<std::int16_t>(index);
}

int ComboChoiceList::Count() const {
  const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  return count < 0 ? 0 : static_cast<int>(count);
}

void Win32PollTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled) {
    SetTimer(window_, id_, static_cast<UINT>(interval_), nullptr);
  } else {
    KillTimer(window_, id_);
  }
}

void Win32PollTimer::SetInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  if (enabled_) SetTimer(window_, id_, static_cast<UINT>(interval_), nullptr);
}

}  // namespace trivexa::app::win32
