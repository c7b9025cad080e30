#include <windows.h>

#include <memory>

#include "app/instance/instance_lock.h"
#include "app/win32/mainfrm_window.h"
#include "app/win32/running_window.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"
#include "settings/program_folder.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The lock outlives the window, so it is held until the very end: a mutex
  // of this user's session.
  trivexa::app::InstanceLock guard;
  std::unique_ptr<trivexa::hid::HidPlatform> platform = trivexa::hid::MakeSystemHidPlatform();
  trivexa::SystemClock clock;
  trivexa::app::win32::Mainfrm window(instance, *platform, clock, guard,
                                      trivexa::settings::ExecutableFolder);
  window.Load();
  // A second copy ends inside the load handler, before anything is shown,
  // and brings the running window to the front on its way out.
  if (window.ProgramEnded()) {
    trivexa::app::win32::RaiseRunningWindow();
    return 0;
  }
  return window.RunMessageLoop();
}
