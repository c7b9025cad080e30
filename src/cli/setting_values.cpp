#include "cli/setting_values.h"

#include <array>
#include <charconv>

#include "host/text.h"
#include "protocol/reports.h"

namespace trivexa::cli {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The status fragments begin with ", " or " "; the bare value follows.
std::string_view FragmentValue(std::string_view fragment) {
  return fragment.substr(fragment.find_first_not_of(", "));
}

// "i5" needs no quoting in any shell; "#5" (the older form) is a comment in
// POSIX shells and PowerShell unless quoted, and cmd.exe passes the quotes
// on. No list text begins with either letter, so neither is ever a text.
bool IsIndexPrefix(std::string_view value) {
  return value.starts_with('i') || value.starts_with('I') || value.starts_with('#');
}

// The status line's fragments of each field, in field order.
constexpr auto kFragments = std::to_array<std::span<const std::string_view>>(
    {protocol::kDeadZoneFragments, protocol::kAngleOffsetFragments,
     protocol::kMoveThresholdFragments, protocol::kIntervalFragments});
static_assert(kFragments.size() == kSettingNames.size(), "every field needs its fragments");

std::span<const std::string_view> Fragments(std::size_t field) { return kFragments.at(field); }

}  // namespace

std::vector<std::string_view> ChoiceTexts(std::size_t field) {
  std::vector<std::string_view> texts;
  for (std::string_view choice : settings::kSettingFields[field].choices) {
    texts.push_back(Trimmed(choice));
  }
  return texts;
}

std::string ValidChoices(std::size_t field) {
  const std::vector<std::string_view> choices = ChoiceTexts(field);
  std::string text;
  for (std::string_view choice : choices) {
    if (!text.empty()) text += ' ';
    text += choice;
  }
  text += ", or i0 to i" + std::to_string(choices.size() - 1);
  return text;
}

ParsedValue ParseSettingValue(std::size_t field, std::string_view text) {
  const auto choices = settings::kSettingFields[field].choices;
  const std::string_view value = Trimmed(text);
  const auto refuse = [&] {
    return ParsedValue{std::nullopt, "--" + std::string(kSettingNames[field].option) + ": '" +
                                         std::string(text) + "' is not a choice; choose one of " +
                                         ValidChoices(field)};
  };

  if (IsIndexPrefix(value)) {
    const std::string_view digits = value.substr(1);
    unsigned index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        index >= choices.size()) {
      return refuse();
    }
    return {static_cast<std::uint8_t>(index), {}};
  }
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (!value.empty() && EqualsIgnoringAsciiCase(value, Trimmed(choices[i]))) {
      return {static_cast<std::uint8_t>(i), {}};
    }
  }
  return refuse();
}

std::optional<std::string_view> ReportedText(std::size_t field, std::uint8_t index) {
  const auto fragments = Fragments(field);
  if (index >= fragments.size()) return std::nullopt;
  return FragmentValue(fragments[index]);
}

std::array<std::uint8_t, 4> IndexesOf(const settings::JoystickSettings& values) {
  std::array<std::uint8_t, 4> indexes{};
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    indexes[i] = values.*settings::kSettingFields[i].member;
  }
  return indexes;
}

}  // namespace trivexa::cli
