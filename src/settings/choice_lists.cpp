#include "settings/choice_lists.h"

#include <cstddef>

namespace trivexa::settings {

void FillChoiceLists(const JoystickSettings& settings, const ChoiceLists& lists) {
  // Each list is complete, with its selection, before the next is touched.
  for (std::size_t i = 0; i < kSettingFields.size(); ++i) {
    const SettingField& field = kSettingFields[i];
    ChoiceList& list = *lists[i];
    list.Clear();
    for (std::string_view text : field.choices) list.Append(text);
    list.Select(settings.*field.member);
  }
}

}  // namespace trivexa::settings
