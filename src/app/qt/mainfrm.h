#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "app/logic/mainfrm_logic.h"
#include "app/qt/qt_adapters.h"
#include "app/qt/qt_poll_timer.h"
#include "hid/hid_platform.h"
#include "host/clock.h"
#include "settings/settings_store.h"

class QCloseEvent;
class QTimer;

namespace trivexa::app {

// The tool's one window: its seventeen controls and the timer, bound to the
// handlers of MainfrmLogic. The device side, the clock, the single-copy
// check and the program's folder come from outside, so tests can replace
// them.
class Mainfrm final : public QWidget, private ProgramControl {
  Q_OBJECT

 public:
  // `chosen`: the joystick --device named, the only one the window takes.
  Mainfrm(hid::HidPlatform& platform, Clock& clock, InstanceGuard& instance,
          settings::ProgramFolder programFolder,
          std::optional<hid::NumberedJoystick> chosen = std::nullopt);
  ~Mainfrm() override;

  // Runs the load handler: refuses a second copy, restores the settings and
  // shows the window.
  void Load();
  // True once the handlers have ended the program; main() must not enter
  // (or must leave) the message loop.
  bool ProgramEnded() const { return ended_; }
  // Runs the unload handler as the close box does, but leaves the window
  // alone: for a process that ends without it (the display has gone).
  void Unload();
  // A second launch asked for the window: it comes to the front, or, where
  // the window manager refuses the focus, asks for the user's attention.
  void BringToFront();
  // The joystick the window follows (see MainfrmLogic::Following).
  std::optional<hid::NumberedJoystick> FollowedJoystick() const { return logic_->Following(); }
  // Says on the window why a joystick that is present cannot be opened.
  void ExplainUnopenedJoystick(std::string_view notice) {
    windowOps_->ExplainUnopenedJoystick(notice);
  }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // ProgramControl.
  void ShowWindow() override;
  void EndProgram() override;
  void ReportSaveFailure(const settings::SaveResult& result) override;

  // Builds the widgets by walking the window's control table.
  void BuildControls();
  void BindEvents();
  // The control of that name in the table, as the widget it was built as.
  template <typename T>
  T* Control(const char* name) const;
  int X(int twips) const;
  int Y(int twips) const;

  QTimer* timer1_ = nullptr;

  std::unique_ptr<QtWindowOps> windowOps_;
  std::array<std::unique_ptr<ComboChoiceList>, 4> choiceLists_;
  std::unique_ptr<QtPollTimer> pollTimer_;
  std::unique_ptr<MainfrmLogic> logic_;

  qreal dpiX_ = 96.0;
  qreal dpiY_ = 96.0;
  bool shownOnce_ = false;
  bool iconAsked_ = false;
  bool ended_ = false;
};

}  // namespace trivexa::app
