#pragma once

#include <string>

#include "settings/settings_store.h"

namespace trivexa::app {

// What the window says when "Write EEPROM" changed the joystick but the
// settings file was not written: the file and the system's reason, in UTF-8.
// Without it the next start would show the old values, and the next write
// would undo the user's tuning without a word.
inline constexpr const char* kSaveFailureCaption = "Trivexa";
std::string SaveFailureText(const settings::SaveResult& result);

// The same as one line for standard error, with control characters
// escaped.
std::string SaveFailureLine(const settings::SaveResult& result);

}  // namespace trivexa::app
