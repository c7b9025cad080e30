#pragma once

#include <filesystem>
#include <functional>
#include <string>

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

// What a save did: whether JOYSTICK.INI now holds the values and, when it
// does not, the call that failed and the system's reason, for the user.
struct [[nodiscard]] SaveResult {
  std::filesystem::path path;  // the file; empty when it has no place
  bool saved = false;
  std::string failedCall;  // "open", "rename", ...
  std::string reason;      // the system's words (errno or GetLastError text), UTF-8

  // The file in UTF-8, for the user; its bare name when it has no place.
  std::string FileText() const;
  // "FILE: CALL: REASON" in UTF-8, for a message or a line on stderr.
  std::string Describe() const;
};

// Writes the four values to JOYSTICK.INI and says whether that worked.
SaveResult SaveSettings(const JoystickSettings& settings, const ProgramFolder& programFolder);

}  // namespace trivexa::settings
