#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <string>

#include "fakes/temp_dir.h"
#include "settings/file_io.h"
#include "settings/ini_text.h"
#include "settings/number_reader.h"
#include "settings/settings_store.h"

// How reading and editing the settings text grows with its size: every one
// must stay linear (Google Benchmark fits the curve and reports it as
// "BigO"), so a file of garbage, however large, never hangs start-up.
namespace trivexa {
namespace {

constexpr std::int64_t kSmallest = 1 << 16;
constexpr std::int64_t kLargest = 1 << 22;

std::size_t Bytes(const benchmark::State& state) {
  return static_cast<std::size_t>(state.range(0));
}

void BM_IniLookupOneLongValue(benchmark::State& state) {
  const std::string text = "[TRIVEXA]\nKey=" + std::string(Bytes(state), 'x');
  for (auto _ : state) benchmark::DoNotOptimize(settings::IniLookup(text, "TRIVEXA", "Key"));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IniLookupOneLongValue)
    ->RangeMultiplier(4)
    ->Range(kSmallest, kLargest)
    ->Complexity(benchmark::oN);

void BM_IniStoreAfterManyBlankLines(benchmark::State& state) {
  const std::string text = "[TRIVEXA]\nKey=2\n" + std::string(Bytes(state), '\n') + "[LAST]\nZ=9\n";
  for (auto _ : state) {
    benchmark::DoNotOptimize(settings::IniStore(text, "TRIVEXA", "Other", "3", "\n"));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IniStoreAfterManyBlankLines)
    ->RangeMultiplier(4)
    ->Range(kSmallest, kLargest)
    ->Complexity(benchmark::oN);

void BM_IniStoreIntoRandomBytes(benchmark::State& state) {
  std::mt19937 random(7u);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::string text(Bytes(state), '\0');
  for (char& c : text) c = static_cast<char>(anyByte(random));
  for (auto _ : state) {
    benchmark::DoNotOptimize(settings::IniStore(text, "TRIVEXA", "Key", "4", "\n"));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IniStoreIntoRandomBytes)
    ->RangeMultiplier(4)
    ->Range(kSmallest, kLargest)
    ->Complexity(benchmark::oN);

void BM_IniStoreIntoOpenBrackets(benchmark::State& state) {
  const std::string text(Bytes(state), '[');
  for (auto _ : state) {
    benchmark::DoNotOptimize(settings::IniStore(text, "TRIVEXA", "Key", "5", "\n"));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IniStoreIntoOpenBrackets)
    ->RangeMultiplier(4)
    ->Range(kSmallest, kLargest)
    ->Complexity(benchmark::oN);

void BM_ReadLeadingNumberLongFraction(benchmark::State& state) {
  const std::string text = "1." + std::string(Bytes(state), '4') + "9";
  for (auto _ : state) benchmark::DoNotOptimize(settings::ReadLeadingNumber(text));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadLeadingNumberLongFraction)
    ->RangeMultiplier(4)
    ->Range(kSmallest, kLargest)
    ->Complexity(benchmark::oN);

// The whole start-up read of a settings file holding one huge value, up to
// the size bound beyond which the file is not read at all.
void BM_LoadSettingsWithAHugeValue(benchmark::State& state) {
  fakes::TempDir dir;
  fakes::WriteFile(
      dir.path() / "JOYSTICK.INI",
      "[TRIVEXA]\nDeadZoneAngle=" + std::string(Bytes(state), '1') + "\nTimeInterval=3\n");
  const settings::ProgramFolder folder = [&] { return dir.path().string(); };
  settings::JoystickSettings loaded;
  for (auto _ : state) {
    settings::LoadSettings(loaded, folder);
    benchmark::DoNotOptimize(loaded);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadSettingsWithAHugeValue)
    ->RangeMultiplier(4)
    ->Range(kSmallest, static_cast<std::int64_t>(settings::kMaxSettingsFileBytes / 2))
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace trivexa
