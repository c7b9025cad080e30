#pragma once

#include <functional>
#include <string>

#include "settings/joystick_settings.h"

namespace trivexa::settings {

// The folder of the running executable, without a trailing separator. Asked
// anew for every use of the settings file.
using ProgramFolder = std::function<std::string()>;

std::string SettingsFilePath(const ProgramFolder& programFolder);

// Restores the record from JOYSTICK.INI, or creates the file with the
// defaults when it is missing. A present file is never written. A stored
// value that is no valid index of its table gives the key's default.
void LoadSettings(JoystickSettings& settings, const ProgramFolder& programFolder);

// Writes the four values to JOYSTICK.INI; failures stay silent.
void SaveSettings(const JoystickSettings& settings, const ProgramFolder& programFolder);

}  // namespace trivexa::settings
