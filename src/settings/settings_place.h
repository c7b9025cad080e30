#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace trivexa::settings {

// The id the program's desktop entry and metainfo are installed under.
inline constexpr std::string_view kAppId = "io.github.trivexa.Trivexa";

// Looks up an environment variable; nothing when it is unset.
using Environment = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);

// True when the executable in `executableFolder` is an installed copy: its
// own desktop entry lies in ../share/applications beside its folder. That
// holds under any prefix and in a staging folder (DESTDIR, a package being
// built), and never for a build tree or an unpacked copy, which have no
// share folder beside their bin folder.
bool IsInstalledCopy(const std::filesystem::path& executableFolder);

// The folder JOYSTICK.INI belongs in. A built or unpacked copy keeps it
// beside itself (portable use). An installed copy lives in a folder that is
// the system's and must not be written, not even by root: it keeps the file
// in $XDG_CONFIG_HOME/trivexa, or ~/.config/trivexa when that is unset or
// not absolute, and creates that folder when it is missing (the home itself
// never). Both variables are normalised first: "/." is the root, which is no
// home. Empty when an installed copy finds no home folder: the defaults
// stand and nothing is written anywhere. Run as root with another user's
// HOME (plain sudo), the folders are reached and made as file_io.h says:
// through none of that user's links, and what is made is the user's.
std::filesystem::path SettingsFolder(const std::filesystem::path& executableFolder,
                                     const Environment& environment);

// The same for the running executable and this process's environment; what
// the front-ends hand to LoadSettings and SaveSettings.
std::filesystem::path SettingsFolder();

}  // namespace trivexa::settings
