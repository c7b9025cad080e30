#include <benchmark/benchmark.h>

#include "fakes/app_rig.h"
#include "fakes/temp_dir.h"
#include "settings/settings_store.h"

namespace trivexa {
namespace {

// A rig whose log never grows past what a scan leaves.
struct ConnectedRig {
  fakes::TempDir dir;
  fakes::AppRig rig{dir.path()};
  ConnectedRig() {
    rig.platform.AddJoystick();
    rig.logic.Form_Load();
    rig.NextTick();
  }
};

void BM_ConnectedTick(benchmark::State& state) {
  ConnectedRig connected;
  for (auto _ : state) {
    connected.rig.logic.Timer1_Timer();
    connected.rig.timeline.Clear();
  }
  state.counters["fixed_pause_ms"] = 60;
}
BENCHMARK(BM_ConnectedTick);

void BM_NotConnectedTickScanning32(benchmark::State& state) {
  fakes::TempDir dir;
  fakes::AppRig rig{dir.path()};
  for (int i = 0; i < 32; ++i) {
    rig.platform.AddOther(0x046D, static_cast<std::uint16_t>(0xC500 + i), u"Other HID device");
  }
  rig.logic.Form_Load();
  for (auto _ : state) {
    rig.logic.Timer1_Timer();
    rig.timeline.Clear();
  }
  state.counters["fixed_pause_ms"] = 3200;
}
BENCHMARK(BM_NotConnectedTickScanning32);

void BM_WriteCommand(benchmark::State& state) {
  ConnectedRig connected;
  for (auto _ : state) {
    connected.rig.logic.Cmd_WriteEEPROM_Click();
    connected.rig.timeline.Clear();
  }
  state.counters["fixed_pause_ms"] = 80;
}
BENCHMARK(BM_WriteCommand);

void BM_LoadSettings(benchmark::State& state) {
  fakes::TempDir dir;
  const settings::ProgramFolder folder = [&] { return dir.path().string(); };
  static_cast<void>(settings::SaveSettings({8, 10, 5, 4}, folder));
  settings::JoystickSettings loaded;
  for (auto _ : state) {
    settings::LoadSettings(loaded, folder);
    benchmark::DoNotOptimize(loaded);
  }
}
BENCHMARK(BM_LoadSettings);

void BM_SaveSettings(benchmark::State& state) {
  fakes::TempDir dir;
  const settings::ProgramFolder folder = [&] { return dir.path().string(); };
  for (auto _ : state) benchmark::DoNotOptimize(settings::SaveSettings({8, 10, 5, 4}, folder));
}
BENCHMARK(BM_SaveSettings);

}  // namespace
}  // namespace trivexa

BENCHMARK_MAIN();
