#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/mainfrm_logic.h"
#include "app/win32/painting.h"
#include "app/win32/win32_adapters.h"
#include "app/win32/window_ids.h"
#include "hid/hid_platform.h"
#include "host/clock.h"
#include "settings/settings_store.h"

namespace trivexa::app::win32 {

// The tool's one window in the platform's own controls, bound to the
// handlers of MainfrmLogic. The device side, the clock, the single-copy
// check and the program's folder come from outside, so tests can replace
// them.
class Mainfrm final : private ProgramControl {
 public:
  // `chosen`: the joystick --device named, the only one the window takes.
  Mainfrm(HINSTANCE instance, hid::HidPlatform& platform, Clock& clock, InstanceGuard& guard,
          settings::ProgramFolder programFolder,
          std::optional<hid::NumberedJoystick> chosen = std::nullopt);
  ~Mainfrm() override;
  Mainfrm(const Mainfrm&) = delete;
  Mainfrm& operator=(const Mainfrm&) = delete;

  // Runs the load handler: refuses a second copy, restores the settings and
  // shows the window.
  void Load();
  // True once the handlers have ended the program.
  bool ProgramEnded() const { return ended_; }

  // Delivers messages until the program ends; the Tab key and the other
  // dialog keys move the focus between the controls.
  int RunMessageLoop();

  HWND Window() const { return window_; }
  // The dots per inch the window is laid out for: those of its monitor.
  int Dpi() const { return dpi_; }
  HWND Control(ControlId id) const { return GetDlgItem(window_, id); }
  const Win32WindowOps& Ops() const { return *windowOps_; }
  PollTimer& Timer() { return *timer_; }

 private:
  // ProgramControl.
  void ShowWindow() override;
  void EndProgram() override;
  void ReportSaveFailure(const settings::SaveResult& result) override;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int notification);
  LRESULT OnLabelColour(HDC dc, HWND label);
  void DrawButton(const DRAWITEMSTRUCT& item);
  // Return presses the focused button, as it does in a dialog.
  void PressFocusedButton();

  HWND CreateWindowShell();
  void BuildControls();
  // Places every control and makes the fonts and icons for dpi_.
  void LayOut();
  void LoadIcons();
  // The outer size of the window whose client area is the defined one at `dpi`.
  SIZE FrameSize(int dpi) const;
  void OnDpiChanged(int dpi, const RECT& suggested);
  // The frame for the defined client area at dpi_.
  void SizeFrame();
  void FitClientArea();
  // Twips to pixels at dpi_.
  int Px(int twips) const;
  HFONT MakeFont(const FontDefinition& font);
  const ControlDefinition* DefinitionOf(HWND control) const;

  HINSTANCE instance_;
  int dpi_ = 96;
  BrushCache brushes_;
  std::vector<HFONT> fonts_;  // those of the current DPI
  HFONT windowFont_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND window_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;

  std::unique_ptr<ConnectionLabel> connection_;
  std::unique_ptr<Win32WindowOps> windowOps_;
  std::array<std::unique_ptr<ComboChoiceList>, 4> choiceLists_;
  std::unique_ptr<Win32PollTimer> timer_;
  std::unique_ptr<MainfrmLogic> logic_;

  // The text of a save failure the box is yet to show.
  std::wstring saveFailure_;
  bool shownOnce_ = false;
  bool ended_ = false;
};

}  // namespace trivexa::app::win32
