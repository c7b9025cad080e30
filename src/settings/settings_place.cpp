#include "settings/settings_place.h"

#include <cstdlib>
#include <system_error>

#include "settings/program_folder.h"

namespace trivexa::settings {
namespace {

// A base folder for the settings: absolute, and not the root itself.
std::optional<std::filesystem::path> UsableBase(const std::optional<std::string>& value) {
  if (!value || value->empty()) return std::nullopt;
  std::filesystem::path path(*value);
  if (!path.is_absolute() || path == path.root_path()) return std::nullopt;
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

std::filesystem::path SettingsFolder(const std::filesystem::path& executableFolder,
                                     const Environment& environment) {
  if (!IsInstalledCopy(executableFolder)) return executableFolder;

  std::optional<std::filesystem::path> base = UsableBase(environment("XDG_CONFIG_HOME"));
  if (!base) {
    const auto home = UsableBase(environment("HOME"));
    if (!home) return {};
    base = *home / ".config";
  }
  const std::filesystem::path folder = *base / "trivexa";
  // A folder that cannot be made shows as a file that cannot be written:
  // the defaults stand, as for any unwritable place.
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::filesystem::path SettingsFolder() {
  return SettingsFolder(ExecutableFolder(), ProcessEnvironment);
}

}  // namespace trivexa::settings
