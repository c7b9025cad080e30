#pragma once

#include <string>

#include "cli/report_text.h"

namespace trivexa::cli {

// The facts of this machine a problem report starts with.

// "Linux 6.1.0-18-amd64 x86_64", "Windows 10.0 build 19045".
std::string PlatformText();
// How this copy came here (a package, an installer, a build tree), and its
// folder.
std::string InstallationText();
// The home folder and the names of this user and machine, which a report
// leaves out.
PrivateTexts ThisUsersPrivateTexts();

}  // namespace trivexa::cli
