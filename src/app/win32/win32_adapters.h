#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/logic/mainfrm_definition.h"
#include "app/logic/mainfrm_logic.h"
#include "app/logic/poll_timer.h"
#include "host/text.h"  // Widen: the controls take UTF-16
#include "host/window_ops.h"
#include "settings/choice_list.h"

namespace trivexa::app::win32 {

// The platform's colour number of a colour of the window definition.
constexpr COLORREF ToColorRef(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

// Paints a label whose text has just changed without waiting for the
// message loop.
void ShowNow(HWND label);

// The connection label: its colour, which the window paints it in, and its
// size, which follows its text.
class ConnectionLabel {
 public:
  ConnectionLabel(HWND label, HFONT font) : label_(label), font_(font) {}

  void Show(bool connected);
  COLORREF Colour() const { return colour_; }
  // A new font (the window moved to a monitor of another DPI): the label
  // fits its text in it.
  void SetFont(HFONT font);

 private:
  void FitToText();

  HWND label_;
  HFONT font_;
  COLORREF colour_ = ToColorRef(kUnconnectedLook.background);
};

// The window operations on the window's controls, which outlive this object.
//
// The log is never shown, so it is kept here rather than in a hidden list
// box: a list box, shown or not, announces every added and selected line to
// assistive technology, and a screen reader would read hidden text.
class Win32WindowOps final : public WindowOps {
 public:
  Win32WindowOps(HWND window, ConnectionLabel& connection, HWND status, HWND position)
      : window_(window), connection_(connection), status_(status), position_(position) {}

  void AppendLog(std::string_view line) override;
  void SelectLastLog() override;
  void ClearLog() override;
  std::int16_t LogLineCount() const override;
  void SetConnectionLabel(bool connected) override;
  void SetStatusText(std::string_view text) override;
  void SetPositionText(std::string_view text) override;
  // The caption, which is also the window's name for screen readers.
  void SetTitle(std::string_view title) override;

  // The log's lines and its selected line (-1: none), for a debugger's eye
  // and the tests.
  const std::vector<std::string>& LogLines() const { return log_; }
  int SelectedLogLine() const { return selected_; }

 private:
  std::vector<std::string> log_;
  int selected_ = -1;
  HWND window_;
  ConnectionLabel& connection_;
  HWND status_;
  HWND position_;
};

// One of the four editable drop-down lists (CBS_DROPDOWN).
class ComboChoiceList final : public ChoiceList {
 public:
  explicit ComboChoiceList(HWND combo) : combo_(combo) {}

  void Clear() override;
  void Append(std::string_view text) override;
  bool Select(int index) override;
  std::int16_t SelectedIndex() const override;
  int Count() const override;

  // The window reports the user's edits: text typed into the field leaves
  // the list without a selected entry (-1) until an entry is chosen again,
  // even where the control itself still remembers its last selection.
  void OnTextTyped() { typed_ = true; }
  void OnEntryChosen() { typed_ = false; }

 private:
  HWND combo_;
  bool typed_ = false;
};

// Timer1 as a WM_TIMER of the window: the system delivers it only when no
// other message waits, so a click made during a tick runs before the next
// tick. Setting the timer again restarts its interval.
class Win32PollTimer final : public PollTimer {
 public:
  Win32PollTimer(HWND window, UINT_PTR id, int intervalMs)
      : window_(window), id_(id), interval_(intervalMs) {}

  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void SetInterval(int milliseconds) override;
  int Interval() const override { return interval_; }

 private:
  HWND window_;
  UINT_PTR id_;
  int interval_;
  bool enabled_ = false;
};

}  // namespace trivexa::app::win32
