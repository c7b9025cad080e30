#pragma once

#include <array>

#include "settings/choice_list.h"
#include "settings/joystick_settings.h"

namespace trivexa::settings {

// Combo1 to Combo4, in the order of the record's fields.
using ChoiceLists = std::array<ChoiceList*, 4>;

// Rebuilds each list from its table and selects the entry the record holds.
void FillChoiceLists(const JoystickSettings& settings, const ChoiceLists& lists);

}  // namespace trivexa::settings
