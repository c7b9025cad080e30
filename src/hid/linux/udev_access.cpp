#include "hid/linux/udev_access.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <utility>

#include "hid/system_hid_platform.h"

namespace trivexa::hid {
namespace {

bool IsFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// A path as one word for the shell, so advice pasted into a terminal does
// what it says whatever the folder's name holds (a blank, a ';', a quote):
// a plain path stays as it is, anything else goes in single quotes, with a
// quote inside as '\''.
std::string ShellWord(const std::string& text) {
  const auto plain = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("/._-+:,=@").find(c) != std::string_view::npos;
  };
  if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) return text;
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
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
      return "the udev rule " + ShellWord(rule.string()) + " is in place; run " + reload +
             ", or unplug the joystick and plug it in again";
    }
  }
  const auto shipped = programFolder / ".." / "lib" / "udev" / "rules.d" / kUdevRuleName;
  if (IsFile(shipped)) {
    const auto rule = ShellWord(shipped.lexically_normal().string());
    return "install the udev rule that came with the program: sudo cp " + rule +
           " /etc/udev/rules.d/ && " + reload;
  }
  return "install the udev rule: echo '" + std::string(kUdevRule) +
         "' | sudo tee /etc/udev/rules.d/" + std::string(kUdevRuleName) + " && " + reload;
}

AccessFix SystemAccessFix(std::filesystem::path programFolder) {
  return [folder = std::move(programFolder)] { return UdevAccessFix(folder, UdevRuleFolders()); };
}

std::string SystemAccessRule() {
  return "# Trivexa: lets the user at the seat open the joystick (USB 0079:0026).\n"
         "# Save as /etc/udev/rules.d/" +
         std::string(kUdevRuleName) + ", then run:\n# " + std::string(kUdevReloadCommand) + "\n" +
         std::string(kUdevRule) + "\n";
}

}  // namespace trivexa::hid
