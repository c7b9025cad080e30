#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trivexa::hid {

// The udev rule that gives the user at the seat access to the joystick's
// hidraw nodes. It must sort before 73-seat-late.rules, which acts on the
// uaccess tag; change events must keep the tag too, hence not ACTION=="add".
inline constexpr std::string_view kUdevRuleName = "70-trivexa.rules";
inline constexpr std::string_view kUdevRule =
    R"(ACTION!="remove", SUBSYSTEM=="hidraw", ATTRS{idVendor}=="0079", )"
    R"(ATTRS{idProduct}=="0026", TAG+="uaccess")";
inline constexpr std::string_view kUdevReloadCommand =
    "sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw";

// The folders udev reads rules from.
std::vector<std::filesystem::path> UdevRuleFolders();

// What gives the user access to the joystick's nodes: reload udev when the
// rule is already in one of `udevFolders`; otherwise copy the rule that
// came with this copy of the program (in ../lib/udev/rules.d beside its
// folder) into /etc/udev/rules.d; failing that, write it there.
std::string UdevAccessFix(const std::filesystem::path& programFolder,
                          const std::vector<std::filesystem::path>& udevFolders);

}  // namespace trivexa::hid
