#include "cli/diagnosis.h"

#include "hid/discovery.h"
#include "hid/reporting_hid_platform.h"
#include "host/text.h"

namespace trivexa::cli {

std::optional<std::string> JoystickOpenProblem(hid::HidPlatform& platform,
                                               const hid::AccessFix& accessFix) {
  for (const std::string& path : platform.ListInterfaces()) {
    const auto ids = platform.IdentifyUnopened(path);
    if (!ids || !hid::IsJoystick(*ids)) continue;
    const hid::Handle handle = platform.Open(path, /*overlapped=*/false);
    if (hid::IsOpen(handle)) {
      platform.Close(handle);
      continue;
    }
    const hid::SystemError error = hid::OpenFailure(platform, path);
    return TerminalText(hid::OpenFailureNotice(path, error, accessFix));
  }
  return std::nullopt;
}

}  // namespace trivexa::cli
