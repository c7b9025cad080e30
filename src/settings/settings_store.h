#pragma once

#include <filesystem>
#include <functional>

#include "settings/joystick_settings.h"

namespace trivexa::settings {

// The folder that holds the settings file, in the platform's own path form
// (see ExecutableFolder). An empty folder means the file has no place: the
// defaults stand and nothing is written.
using ProgramFolder = std::function<std::filesystem::path()>;

// JOYSTICK.INI in the program folder, or an empty path when the folder is
// empty.
std::filesystem::path SettingsFilePath(const ProgramFolder& programFolder);

// Restores the record from JOYSTICK.INI, read once, or creates the file with
// the defaults when it is missing. A present file is never written, also
// when it cannot be used (a link, not a regular file, too large). A stored
// value that is no valid index of its table gives the key's default.
void LoadSettings(JoystickSettings& settings, const ProgramFolder& programFolder);

// Writes the four values to JOYSTICK.INI; failures stay silent.
void SaveSettings(const JoystickSettings& settings, const ProgramFolder& programFolder);

}  // namespace trivexa::settings
