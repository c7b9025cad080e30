#include "hid/linux/udev_access.h"

#include <system_error>

#include "hid/system_hid_platform.h"

namespace trivexa::hid {
namespace {

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::vector<std::filesystem::path> UdevRuleFolders() {
  // Not /usr/local/lib/udev/rules.d, which not every udev reads: a rule
  // installed there gets the advice to copy it to /etc.
  return {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
}

std::string UdevAccessFix(const std::filesystem::path& programFolder,
                          const std::vector<std::filesystem::path>& udevFolders) {
  const std::string reload(kUdevReloadCommand);
  for (const auto& folder : udevFolders) {
    const auto rule = folder / kUdevRuleName;
    if (IsFile(rule)) {
      return "the udev rule " + rule.string() + " is in place; run " + reload +
             ", or unplug the joystick and plug it in again";
    }
  }
  const auto shipped = programFolder / ".." / "lib" / "udev" / "rules.d" / kUdevRuleName;
  if (IsFile(shipped)) {
    const auto rule = shipped.lexically_normal().string();
    return "install the udev rule that came with the program: sudo cp " + rule +
           " /etc/udev/rules.d/ && " + reload;
  }
  return "install the udev rule: echo '" + std::string(kUdevRule) +
         "' | sudo tee /etc/udev/rules.d/" + std::string(kUdevRuleName) + " && " + reload;
}

std::string SystemAccessFix(const std::filesystem::path& programFolder) {
  return UdevAccessFix(programFolder, UdevRuleFolders());
}

std::string SystemAccessRule() {
  return "# Trivexa: lets the user at the seat open the joystick (USB 0079:0026).\n"
         "# Save as /etc/udev/rules.d/" +
         std::string(kUdevRuleName) + ", then run:\n# " + std::string(kUdevReloadCommand) + "\n" +
         std::string(kUdevRule) + "\n";
}

}  // namespace trivexa::hid
