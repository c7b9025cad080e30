#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/joystick_settings.h"

namespace trivexa::cli {

// How the command line and the JSON output name the four values, in the
// order of the record's fields.
struct SettingName {
  std::string_view option;  // without the leading "--"
  std::string_view json;
};
inline constexpr std::array<SettingName, 4> kSettingNames = {{
    {"dead-zone", "deadZone"},
    {"angle-offset", "angleOffset"},
    {"threshold", "moveThreshold"},
    {"interval", "interval"},
}};

struct ParsedValue {
  std::optional<std::uint8_t> index;
  std::string error;  // when there is no index: why, with the valid choices
};

// A value given for field `field` (0 to 3): one of the texts of its list as
// the window shows them, without the leading blank ("3.5deg", "+2", "0",
// "20ms"; letters in any case), or an index into the list written "i5"
// ("I5" and the older "#5" too). A bare number is always a text, never an
// index: for the threshold "3" is the entry " 3", which is index 2.
ParsedValue ParseSettingValue(std::size_t field, std::string_view text);

// The texts of field `field`'s list as typed: "1.0deg", "+2", "20ms".
std::vector<std::string_view> ChoiceTexts(std::size_t field);

// "1.0deg 1.5deg ... 5.0deg, or i0 to i8".
std::string ValidChoices(std::size_t field);

// The text a device-reported index stands for, as the status line names it
// ("3.0deg", "0", "+1", "60ms"), or nullopt when it names nothing.
std::optional<std::string_view> ReportedText(std::size_t field, std::uint8_t index);

// The four indexes of a record, in field order.
std::array<std::uint8_t, 4> IndexesOf(const settings::JoystickSettings& values);

}  // namespace trivexa::cli
