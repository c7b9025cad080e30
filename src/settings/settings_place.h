#pragma once

#include <concepts>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// Where JOYSTICK.INI belongs: the folder `base` / `below`, of which `base`
// must exist and the folders of `below` are made when a load or save finds
// them missing. An empty place: the file has none.
struct SettingsPlace {
  SettingsPlace() = default;
  // A folder that must exist as it is.
  template <typename Folder>
  requires std::constructible_from<std::filesystem::path, Folder> SettingsPlace(Folder&& folder)
      : base(std::forward<Folder>(folder)) {}
  SettingsPlace(std::filesystem::path existing, std::filesystem::path made)
      : base(std::move(existing)), below(std::move(made)) {}

  std::filesystem::path Folder() const { return below.empty() ? base : base / below; }

  std::filesystem::path base;
  std::filesystem::path below;
};

// The place JOYSTICK.INI belongs in. A built or unpacked copy keeps it
// beside itself (portable use). An installed copy lives in a folder that is
// the system's and must not be written, not even by root: it keeps the file
// in $XDG_CONFIG_HOME/trivexa, or ~/.config/trivexa when that is unset or
// not absolute, whose missing folders are made (the home itself never). Both
// variables are normalised first: "/." is the root, which is no home. Empty
// when an installed copy finds no home folder: the defaults stand and
// nothing is written anywhere. Finding the place changes nothing on disk.
SettingsPlace SettingsFolder(const std::filesystem::path& executableFolder,
                             const Environment& environment);

// The same for the running executable and this process's environment; what
// the front-ends hand to LoadSettings and SaveSettings.
SettingsPlace SettingsFolder();

}  // namespace trivexa::settings
