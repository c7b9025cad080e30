#include "cli/system_facts.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/file_io.h"
#include "settings/program_folder.h"
#include "settings/settings_place.h"

#ifdef _WIN32
#include "host/text.h"
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#endif

namespace trivexa::cli {
namespace {

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

}  // namespace

std::string PlatformText() {
#ifdef _WIN32
  // GetVersionEx answers what the manifest names, not the running build.
  using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
  std::string text = "Windows";
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll != nullptr) {
    auto call = reinterpret_cast<RtlGetVersionCall>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (call != nullptr && call(&version) == 0) {
      text += ' ';
      text += std::to_string(version.dwMajorVersion);
      text += '.';
      text += std::to_string(version.dwMinorVersion);
      text += " build ";
      text += std::to_string(version.dwBuildNumber);
    }
    // Wine says so; its HID stack is not Windows' own.
    using WineVersionCall = const char*(CDECL*)();
    auto wine = reinterpret_cast<WineVersionCall>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (wine != nullptr) {
      text += " (Wine ";
      text += wine();
      text += ')';
    }
  }
  return text;
#else
  utsname name{};
  if (::uname(&name) != 0) return "Linux";
  return std::string(name.sysname) + " " + name.release + " " + name.machine;
#endif
}

std::string InstallationText() {
  const std::filesystem::path folder = settings::ExecutableFolder();
  if (folder.empty()) return "unknown (the program's folder cannot be found)";
  std::string where = " (";
  where += settings::PathText(folder);
  where += ')';
  // A build tree has CMake's cache in the folder above bin/.
  if (Exists(folder.parent_path() / "CMakeCache.txt")) return "a build tree" + where;
#ifdef _WIN32
  // The MSI keeps the folder it installed into (a chosen INSTALLDIR too)
  // under the user's key; the zip goes wherever it is unpacked.
  wchar_t installed[MAX_PATH + 1] = {};
  DWORD size = sizeof installed - sizeof installed[0];
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Trivexa\\Installer", L"InstallDir", RRF_RT_REG_SZ,
                   nullptr, installed, &size) == ERROR_SUCCESS) {
    std::string text = Narrow(installed);
    while (!text.empty() && text.back() == '\\') text.pop_back();
    if (EqualsIgnoringAsciiCase(text, settings::PathText(folder))) {
      return "the MSI installer" + where;
    }
  }
  return "the zip, or a copied folder" + where;
#else
  if (settings::IsInstalledCopy(folder)) {
    // The package puts the programs in /usr/bin; the package manager's
    // own records are not for other programs to read.
    if (folder == "/usr/bin") return "the .deb package, or an installation into /usr" + where;
    return "installed with cmake --install" + where;
  }
  return "a copied folder" + where;
#endif
}

PrivateTexts ThisUsersPrivateTexts() {
  PrivateTexts texts;
#ifdef _WIN32
  texts.home = Variable("USERPROFILE").value_or("");
  texts.homeStandIn = "%USERPROFILE%";
  for (const char* name : {"USERNAME", "COMPUTERNAME", "USERDOMAIN"}) {
    if (auto value = Variable(name)) texts.names.push_back(*value);
  }
#else
  texts.home = Variable("HOME").value_or("");
  texts.homeStandIn = "~";
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) {
    if (texts.home.empty() && entry->pw_dir != nullptr) texts.home = entry->pw_dir;
    if (entry->pw_name != nullptr) texts.names.emplace_back(entry->pw_name);
  }
  if (auto user = Variable("USER")) texts.names.push_back(*user);
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) == 0) texts.names.emplace_back(host);
#endif
  // A home given with a trailing separator still matches its paths.
  while (texts.home.size() > 1 && (texts.home.back() == '/' || texts.home.back() == '\\')) {
    texts.home.pop_back();
  }
  return texts;
}

}  // namespace trivexa::cli
