#include "fakes/app_rig.h"

namespace trivexa::fakes {

AppRig::AppRig(std::filesystem::path programFolder, std::optional<hid::NumberedJoystick> chosen)
    : folder(std::move(programFolder)),
      logic(app::MainfrmParts{
          window,
          {&combos[0], &combos[1], &combos[2], &combos[3]},
          timer,
          clock,
          platform,
          instance,
          program,
          [this] { return folder.string(); },
          std::move(chosen),
      }) {}

bool AppRig::NextTick() {
  if (!timer.Enabled()) return false;
  clock.AdvanceTo(timer.NextTickAt());
  timeline.Add(clock.NowMs(), "tick");
  timer.Fired();
  logic.Timer1_Timer();
  return true;
}

void AppRig::RunUntil(std::int64_t atMs) {
  while (timer.Enabled() && timer.NextTickAt() <= atMs) NextTick();
  clock.AdvanceTo(atMs);
}

}  // namespace trivexa::fakes
