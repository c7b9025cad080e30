#include <windows.h>
// After windows.h, which it needs; WIN32_LEAN_AND_MEAN leaves it out.
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/instance/instance_lock.h"
#include "app/logic/command_line.h"
#include "app/win32/mainfrm_window.h"
#include "app/win32/running_window.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"
#include "host/standard_streams.h"
#include "host/text.h"
#include "settings/program_folder.h"

namespace {

// A start refused before the window: on standard error where there is one
// (a console or a pipe), and in a box, which a start from the menu shows.
int Refuse(const trivexa::app::StartRefusal& refusal) {
  std::fprintf(stderr, "trivexa: %s\n", refusal.message.c_str());
  std::fflush(stderr);
  MessageBoxW(nullptr, trivexa::Widen(refusal.message).c_str(), L"Trivexa", MB_OK | MB_ICONERROR);
  return refusal.status;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace trivexa;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const std::vector<std::string> texts =
      argv != nullptr ? Utf8Arguments(argc, argv) : std::vector<std::string>();
  if (argv != nullptr) LocalFree(argv);
  const std::vector<std::string_view> arguments(texts.begin(), texts.end());
  const app::ParsedWindowArguments parsed = app::ParseWindowArguments(arguments);
  if (!parsed.arguments) return Refuse(parsed.refusal);
  if (parsed.arguments->kind != app::WindowArguments::Kind::kRun) {
    const std::string text = parsed.arguments->kind == app::WindowArguments::Kind::kHelp
                                 ? std::string(app::WindowHelpText())
                                 : app::WindowVersionText();
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  const std::optional<hid::DeviceChoice>& device = parsed.arguments->device;

  // The lock outlives the window, so it is held until the very end: a mutex
  // of this user's session.
  app::InstanceLock guard;
  std::unique_ptr<hid::HidPlatform> platform = hid::MakeSystemHidPlatform();
  // A second copy ends before it chooses or opens anything, and brings the
  // running window to the front on its way out.
  if (guard.AnotherInstanceRunning()) {
    std::string runningKey;
    if (app::win32::RaiseRunningWindow(&runningKey)) {
      if (const std::string notice = app::SecondLaunchNotice(*platform, device, runningKey);
          !notice.empty()) {
        std::fprintf(stderr, "trivexa: %s\n", notice.c_str());
      }
    }
    return 0;
  }
  // Nothing is sent to any joystick before the choice stands.
  app::ChosenJoystick chosen = app::ChooseJoystick(*platform, device);
  if (chosen.refusal.status != 0) return Refuse(chosen.refusal);
  SystemClock clock;
  app::win32::Mainfrm window(instance, *platform, clock, guard, settings::ExecutableFolder,
                             std::move(chosen.joystick));
  window.Load();
  if (window.ProgramEnded()) return 0;
  return window.RunMessageLoop();
}
