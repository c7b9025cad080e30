#include "settings/settings_place.h"

#include <cstdlib>
#include <system_error>

#include "settings/program_folder.h"

namespace trivexa::settings {
namespace {

// A base folder for the settings: absolute, and not the root itself. The
// path is normalised first, so "/." or "//" counts as the root it names.
std::optional<std::filesystem::path> UsableBase(const std::optional<std::string>& value) {
  if (!value || value->empty()) return std::nullopt;
  std::filesystem::path path = std::filesystem::path(*value).lexically_normal();
  if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  if (!path.is_absolute() || !path.has_relative_path()) return std::nullopt;
  return path;
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool IsInstalledCopy(const std::filesystem::path& executableFolder) {
  if (executableFolder.empty()) return false;
  const std::filesystem::path entry = executableFolder.parent_path() / "share" / "applications" /
                                      (std::string(kAppId) + ".desktop");
  std::error_code error;
  return std::filesystem::is_regular_file(entry, error);
}

SettingsPlace SettingsFolder(const std::filesystem::path& executableFolder,
                             const Environment& environment) {
  if (!IsInstalledCopy(executableFolder)) return executableFolder;

  if (const auto configHome = UsableBase(environment("XDG_CONFIG_HOME"))) {
    return {configHome->parent_path(), configHome->filename() / "trivexa"};
  }
  if (const auto home = UsableBase(environment("HOME"))) {
    return {*home, std::filesystem::path(".config") / "trivexa"};
  }
  return {};
}

SettingsPlace SettingsFolder() { return SettingsFolder(ExecutableFolder(), ProcessEnvironment); }

}  // namespace trivexa::settings
