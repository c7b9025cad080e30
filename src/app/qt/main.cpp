#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/desktop/activation.h"
#include "app/desktop/close_at_exit.h"
#include "app/desktop/desktop_launch.h"
#include "app/desktop/launch_request.h"
#include "app/desktop/session_bus.h"
#include "app/desktop/stop_signals.h"
#include "app/logic/command_line.h"
#include "app/qt/mainfrm.h"
#include "hid/reporting_hid_platform.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"
#include "host/standard_streams.h"
#include "host/text.h"
#include "instance/instance_lock.h"
#include "settings/program_folder.h"
#include "settings/settings_place.h"

namespace {

// A joystick that cannot be opened is explained on standard error, and on
// the window once it is built.
void TellUser(std::string_view line) { trivexa::PrintNotice("trivexa: ", line); }

// A start refused before the window: on standard error for a terminal, in
// a box for a start from the desktop's menu, where nobody sees a terminal.
int Refuse(const trivexa::app::StartRefusal& refusal) {
  // A usage error has a second line, the hint to --help.
  std::cerr << "trivexa: " << trivexa::TerminalLines(refusal.message) << '\n';
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Trivexa"),
                  QString::fromStdString(refusal.message), QMessageBox::Ok);
  box.setAccessibleName(QStringLiteral("Trivexa cannot start"));
  box.exec();
  return refusal.status;
}

std::vector<std::string_view> Arguments(int argc, char* argv[]) {
  return std::vector<std::string_view>(argv + 1, argv + argc);
}

// --help and --version, which need no display; false for anything else.
bool Answered(const trivexa::app::ParsedWindowArguments& parsed) {
  const std::optional<std::string> text = trivexa::app::WindowAnswer(parsed);
  if (text) std::fputs(text->c_str(), stdout);
  return text.has_value();
}

}  // namespace

int main(int argc, char* argv[]) {
  // Before anything is opened: a closed standard stream must not become the
  // joystick's node or the settings file.
  trivexa::OpenClosedStandardStreams();
  // A reader that goes away (the device log piped into head, a closed pipe
  // on standard error) must not end the window without the close command:
  // such a write just fails.
  std::signal(SIGPIPE, SIG_IGN);
  // Before Qt's X11 back-end takes the startup id out of the environment.
  const trivexa::app::LaunchTokens launch = trivexa::app::LaunchTokensFromEnvironment();
  // Before Qt, which needs a display; Qt's own options come out below.
  if (Answered(trivexa::app::ParseWindowArguments(Arguments(argc, argv)))) return 0;
  trivexa::app::KeepRootFromStartingASessionBus();
  QApplication application(argc, argv);
  const trivexa::app::ParsedWindowArguments parsed =
      trivexa::app::ParseWindowArguments(Arguments(argc, argv));
  if (Answered(parsed)) return 0;
  if (!parsed.arguments) return Refuse(parsed.refusal);
  const std::optional<trivexa::hid::DeviceChoice>& device = parsed.arguments->device;
  QApplication::setApplicationName(QStringLiteral("Trivexa"));
  // The desktop entry's name is the window's Wayland app id, so docks and
  // task bars tie the window to its launcher and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.trivexa.Trivexa"));

  std::unique_ptr<trivexa::hid::HidPlatform> system = trivexa::hid::MakeSystemHidPlatform();
  trivexa::SystemClock clock;
  std::function<void(std::string_view)> explainOnWindow;
  trivexa::hid::ReportingHidPlatform platform(
      *system, clock,
      [&explainOnWindow](std::string_view line) {
        TellUser(line);
        if (explainOnWindow) explainOnWindow(line);
      },
      trivexa::hid::SystemAccessFix(trivexa::settings::ExecutableFolder()));
  trivexa::instance::InstanceLock instance;
  // A second copy ends before it chooses or opens anything; the running one
  // comes to the front instead, whatever this one asked for.
  if (instance.AnotherInstanceRunning()) {
    std::string runningKey;
    if (!trivexa::app::AskRunningCopyToShow(instance.Place().name, launch, &runningKey)) {
      TellUser("another copy runs but did not answer; its window stays where it is");
      // Nobody else ends the launcher's busy cursor now.
      trivexa::app::EndStartupNotice(launch.startupId);
    } else if (const std::string notice =
                   trivexa::app::SecondLaunchNotice(*system, device, runningKey);
               !notice.empty()) {
      TellUser(notice);
    }
    return 0;
  }
  // Nothing is sent to any joystick before the choice stands.
  trivexa::app::ChosenJoystick chosen = trivexa::app::ChooseJoystick(*system, device);
  if (chosen.refusal.status != 0) return Refuse(chosen.refusal);
  trivexa::app::Mainfrm window(
      platform, clock, instance, [] { return trivexa::settings::SettingsFolder(); },
      std::move(chosen.joystick));
  explainOnWindow = [&window](std::string_view line) { window.ExplainUnopenedJoystick(line); };

  window.Load();
  if (window.ProgramEnded()) return 0;
  std::optional<trivexa::app::ActivationListener> activation;
  if (instance.Held()) {
    activation.emplace(instance.Place().name, [&window](const trivexa::app::LaunchTokens& tokens) {
      trivexa::app::UseActivationToken(tokens.activationToken);
      window.BringToFront();
      trivexa::app::ActivateAtLaunchTime(window.winId(), tokens.startupId);
      trivexa::app::EndStartupNotice(tokens.startupId);
    });
    activation->SetAnswer(
        [&window] { return trivexa::app::FollowedKey(window.FollowedJoystick()); });
  }
  // Log-out, Ctrl+C and a closed terminal close the window as its close box
  // does: the device hears the close command, and the exit status is 0.
  trivexa::app::StopSignals stopSignals([&window](int) { window.close(); });
  // A lost display ends the process from inside Qt: the device is still told.
  trivexa::app::CloseAtExit closeAtExit([&window] { window.Unload(); });
  return QApplication::exec();
}
