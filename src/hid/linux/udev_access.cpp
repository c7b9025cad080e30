#include "hid/linux/udev_access.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>
#include <utility>

#include "hid/system_hid_platform.h"
#include "host/text.h"

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

bool InGroups(gid_t group) {
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

// Our rule in each of `folders` that holds it, in udev's order of them.
std::vector<std::filesystem::path> InstalledRules(
    const std::vector<std::filesystem::path>& folders) {
  std::vector<std::filesystem::path> rules;
  for (const auto& folder : folders) {
    if (IsFile(folder / kUdevRuleName)) rules.push_back(folder / kUdevRuleName);
  }
  return rules;
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
  if (const auto rules = InstalledRules(udevFolders); !rules.empty()) {
    return "the udev rule " + ShellWord(rules.front().string()) + " is in place; run " + reload +
           ", or unplug the joystick and plug it in again";
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

std::vector<std::string> SystemAccessFacts(const std::vector<std::string>& joystickNodes) {
  std::vector<std::string> facts;
  std::string where;
  for (const auto& rule : InstalledRules(UdevRuleFolders())) {
    where += (where.empty() ? "" : ", ") + rule.parent_path().string();
  }
  facts.push_back("udev rule " + std::string(kUdevRuleName) + ": " +
                  (where.empty() ? "not installed" : "installed in " + where));
  for (const std::string& node : joystickNodes) {
    struct stat info {};
    if (::stat(node.c_str(), &info) != 0) {
      facts.push_back(node + ": " + ErrnoText(errno));
      continue;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    std::string fact = node + ": owner uid " + std::to_string(info.st_uid);
    if (info.st_uid == ::geteuid()) fact += " (this user)";
    fact += ", group gid " + std::to_string(info.st_gid);
    if (info.st_gid == ::getegid() || InGroups(info.st_gid)) fact += " (a group of this user)";
    fact += ", mode " + std::string(mode) + "; ";
    // access() counts the ACL that udev's uaccess tag gives, which the mode
    // does not show.
    fact += ::access(node.c_str(), R_OK | W_OK) == 0
                ? "this user can open it"
                : "this user cannot open it: " + ErrnoText(errno);
    facts.push_back(std::move(fact));
  }
  return facts;
}

std::string SystemAccessRule() {
  return "# Trivexa: lets the user at the seat open the joystick (USB 0079:0026).\n"
         "# Save as /etc/udev/rules.d/" +
         std::string(kUdevRuleName) + ", then run:\n# " + std::string(kUdevReloadCommand) + "\n" +
         std::string(kUdevRule) + "\n";
}

}  // namespace trivexa::hid
