#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/logic/poll_timer.h"
#include "hid/device_link.h"
#include "hid/hid_platform.h"
#include "hid/joysticks.h"
#include "host/clock.h"
#include "host/instance_guard.h"
#include "host/window_ops.h"
#include "protocol/session.h"
#include "settings/choice_lists.h"
#include "settings/joystick_settings.h"
#include "settings/settings_store.h"

namespace trivexa::app {

// The window clears its log once it holds more lines than this.
inline constexpr std::int16_t kLogLineCap = 100;

// The status label's text while no status is known.
inline constexpr std::string_view STATUS_PLACEHOLDER =
    "Current Status:  -- , -- , -- , --, x=--,y=--";

// What the handlers ask of the program around the window.
class ProgramControl {
 public:
  virtual ~ProgramControl() = default;
  virtual void ShowWindow() = 0;
  // Ends the program at once, without the window's unload handler.
  virtual void EndProgram() = 0;
  // The settings file was not written. Called inside a handler: the window
  // tells the user once that handler has ended (save_failure.h).
  virtual void ReportSaveFailure(const settings::SaveResult& result) = 0;
};

// Everything the handlers work on, owned by the window (or by a test).
struct MainfrmParts {
  WindowOps& window;
  settings::ChoiceLists combos;
  PollTimer& timer;
  Clock& clock;
  hid::HidPlatform& platform;
  InstanceGuard& instance;
  ProgramControl& program;
  settings::ProgramFolder programFolder;
  // The joystick --device chose: the window then looks only at its USB port
  // (its path where the port is not known) and names it in the title bar.
  // Nothing: the first joystick found, named only when several are present.
  std::optional<hid::NumberedJoystick> chosen = std::nullopt;
};

// The window's handlers, free of any toolkit. Each runs to its end before
// the next event is delivered.
class MainfrmLogic {
 public:
  explicit MainfrmLogic(MainfrmParts parts);

  void Form_Load();
  void Timer1_Timer();
  void Cmd_WriteEEPROM_Click();
  void Cmd_Exit_Click();
  void Form_Unload();
  void Clear_Click();

  const settings::JoystickSettings& Settings() const { return settings_; }
  const hid::DeviceLink& Link() const { return session_.Link(); }
  // The joystick the window is for: the chosen one, or the one connected
  // when several are present; nothing otherwise.
  const std::optional<hid::NumberedJoystick>& Shown() const { return shown_; }
  // The joystick the window follows: the chosen one, or the one connected;
  // nothing while it waits for the first one found.
  std::optional<hid::NumberedJoystick> Following() const;

 private:
  void CloseLink();
  // Each read's reply goes to its label; a long log is cleared.
  void ShowRead(const protocol::Received& received);
  // After a connection without a chosen joystick: which one it is, in the
  // title bar, when there are several to tell apart.
  void NameConnectedJoystick();
  void ShowTitle();

  MainfrmParts parts_;
  settings::JoystickSettings settings_;
  hid::JoystickTarget joysticks_;
  protocol::Session session_;
  std::optional<hid::NumberedJoystick> shown_;
  std::string title_;
  bool closed_ = false;
};

}  // namespace trivexa::app
