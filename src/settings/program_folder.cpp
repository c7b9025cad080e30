#include "settings/program_folder.h"

#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace trivexa::settings {

std::filesystem::path ExecutableFolder() {
#ifdef _WIN32
  // The module name may exceed MAX_PATH with long-path support: grow the
  // buffer until the name fits.
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    if (name.size() >= 32768) return {};
    name.resize(name.size() * 2);
  }
  return std::filesystem::path(name).parent_path();
#else
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !executable.is_absolute()) return {};
  return executable.parent_path();
#endif
}

}  // namespace trivexa::settings
