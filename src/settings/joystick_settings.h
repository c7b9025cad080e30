#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace trivexa::settings {

// The four tuning values, each an index into its table of choices. The
// field order is the order in which the values travel everywhere: the
// write-config payload, the settings file and the choice lists.
struct JoystickSettings {
  std::uint8_t deadZoneIndex = 0;
  std::uint8_t angleOffsetIndex = 0;
  std::uint8_t moveThresholdIndex = 0;
  std::uint8_t intervalIndex = 0;

  friend bool operator==(const JoystickSettings&, const JoystickSettings&) = default;
};

// clang-format off
inline constexpr std::array<std::string_view, 9> kDeadZoneTexts = {
    " 1.0deg", " 1.5deg", " 2.0deg", " 2.5deg", " 3.0deg",
    " 3.5deg", " 4.0deg", " 4.5deg", " 5.0deg"};
inline constexpr std::array<std::string_view, 11> kAngleOffsetTexts = {
    " -5", " -4", " -3", " -2", " -1", " 0", " +1", " +2", " +3", " +4", " +5"};
inline constexpr std::array<std::string_view, 6> kMoveThresholdTexts = {" 1", " 2", " 3",
                                                                        " 4", " 5", " 6"};
inline constexpr std::array<std::string_view, 5> kIntervalTexts = {" 10ms", " 20ms", " 30ms",
                                                                   " 40ms", " 50ms"};
// clang-format on

inline constexpr std::string_view kSettingsSection = "TRIVEXA";
inline constexpr std::string_view kSettingsFileName = "JOYSTICK.INI";

// One of the four values: where it lives in the record, its choices, its key
// in the settings file and its default.
struct SettingField {
  std::uint8_t JoystickSettings::*member;
  std::span<const std::string_view> choices;
  std::string_view key;
  std::uint8_t defaultIndex;
  std::string_view defaultText;
};

inline constexpr std::array<SettingField, 4> kSettingFields = {{
    {&JoystickSettings::deadZoneIndex, kDeadZoneTexts, "DeadZoneAngle", 5, "5"},
    {&JoystickSettings::angleOffsetIndex, kAngleOffsetTexts, "MaximumAngleOffset", 5, "5"},
    {&JoystickSettings::moveThresholdIndex, kMoveThresholdTexts, "MoveThreshold", 2, "2"},
    {&JoystickSettings::intervalIndex, kIntervalTexts, "TimeInterval", 1, "1"},
}};

}  // namespace trivexa::settings
