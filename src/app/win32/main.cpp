#include <windows.h>
// After windows.h, which it needs; WIN32_LEAN_AND_MEAN leaves it out.
#include <shellapi.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/logic/command_line.h"
#include "app/win32/mainfrm_window.h"
#include "app/win32/running_window.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"
#include "host/standard_streams.h"
#include "host/text.h"
#include "instance/instance_lock.h"
#include "settings/program_folder.h"

namespace {

// A window program has no console of its own. Its text goes to a file or a
// pipe its output was sent to, else to the console of the cmd.exe or
// PowerShell that started it. False when there is neither (a start from
// Explorer or the menu).
bool TellUser(DWORD stream, std::string_view text) {
  HANDLE handle = GetStdHandle(stream);
  const bool inherited = handle != nullptr && handle != INVALID_HANDLE_VALUE &&
                         GetFileType(handle) != FILE_TYPE_UNKNOWN;
  if (!inherited) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  DWORD mode = 0;
  DWORD written = 0;
  bool told = false;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = trivexa::Widen(text);
    told = WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    told = WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  if (!inherited) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    FreeConsole();
  }
  return told;
}

// A start refused before the window: on standard error where there is one,
// and in a box, which a start from the menu shows.
int Refuse(const trivexa::app::StartRefusal& refusal) {
  TellUser(STD_ERROR_HANDLE, "trivexa: " + trivexa::TerminalLines(refusal.message) + "\n");
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
  if (const std::optional<std::string> text = app::WindowAnswer(parsed)) {
    if (!TellUser(STD_OUTPUT_HANDLE, *text)) {
      const std::string_view shown =
          std::string_view(*text).substr(0, text->find_last_not_of('\n') + 1);
      MessageBoxW(nullptr, Widen(shown).c_str(), L"Trivexa", MB_OK | MB_ICONINFORMATION);
    }
    return 0;
  }
  const std::optional<hid::DeviceChoice>& device = parsed.arguments->device;

  // The lock outlives the window, so it is held until the very end: a mutex
  // of this user's session.
  instance::InstanceLock guard;
  std::unique_ptr<hid::HidPlatform> platform = hid::MakeSystemHidPlatform();
  // A second copy opens no window: it brings the running one to the front on
  // its way out, and says so when that one follows another joystick.
  if (guard.AnotherInstanceRunning()) {
    std::string runningKey;
    if (app::win32::RaiseRunningWindow(&runningKey)) {
      if (const std::string notice = app::SecondLaunchNotice(*platform, device, runningKey);
          !notice.empty()) {
        TellUser(STD_ERROR_HANDLE, "trivexa: " + TerminalText(notice) + "\n");
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
