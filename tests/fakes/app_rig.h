#pragma once

#include <filesystem>
#include <string>

#include "app/logic/mainfrm_logic.h"
#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "fakes/timeline.h"

namespace trivexa::fakes {

// A whole window's worth of fakes around the real handlers, with a driver
// that delivers timer ticks as the fake clock reaches them.
class AppRig {
 public:
  // `programFolder` is where JOYSTICK.INI is kept; `chosen`, what --device named.
  explicit AppRig(std::filesystem::path programFolder,
                  std::optional<hid::NumberedJoystick> chosen = std::nullopt);

  // Fires every tick due up to `atMs`, moving the clock to each; the clock
  // ends at `atMs` (or later, when a handler ran past it).
  void RunUntil(std::int64_t atMs);
  // Fires the next due tick, whenever it is. False when the timer is off.
  bool NextTick();

  std::filesystem::path IniPath() const { return folder / "JOYSTICK.INI"; }

  std::filesystem::path folder;
  Timeline timeline;
  FakeClock clock{timeline};
  FakeWindow window{timeline, clock};
  std::array<FakeChoiceList, 4> combos;
  FakePollTimer timer{timeline, clock};
  FakeHidPlatform platform{timeline, clock};
  FakeInstanceGuard instance;
  FakeProgramControl program{timeline};
  app::MainfrmLogic logic;
};

}  // namespace trivexa::fakes
