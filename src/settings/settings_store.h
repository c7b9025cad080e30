#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "settings/joystick_settings.h"
#include "settings/settings_place.h"

namespace trivexa::settings {

// The place of the settings file, in the platform's own path form (see
// ExecutableFolder); a plain folder stands for a place of its own. An empty
// place means the file has none: the defaults stand and nothing is written.
using ProgramFolder = std::function<SettingsPlace()>;

// JOYSTICK.INI in the program folder, or an empty path when the folder is
// empty.
std::filesystem::path SettingsFilePath(const ProgramFolder& programFolder);

// Loading and saving take the rights of the folder's owner when the process
// is root and the folder another user's (folder_owner_rights.h).

// Restores the record from JOYSTICK.INI, read once, or creates the file (and
// its place's missing folders) with the defaults when it is missing. A
// present file is never written, also when it cannot be used (a link, not a
// regular file, too large). A stored value that is no valid index of its
// table gives the key's default.
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

// Writes the four values to JOYSTICK.INI, making its place's missing folders
// first, and says whether that worked.
SaveResult SaveSettings(const JoystickSettings& settings, const ProgramFolder& programFolder);

}  // namespace trivexa::settings
