#include "hid/reporting_hid_platform.h"

#include <utility>

#include "hid/discovery.h"

namespace trivexa::hid {

ReportingHidPlatform::ReportingHidPlatform(HidPlatform& inner, const Clock& clock, NoticeSink sink,
                                           AccessFix accessFix)
    : ForwardingHidPlatform(inner),
      clock_(clock),
      sink_(std::move(sink)),
      accessFix_(std::move(accessFix)) {}

Handle ReportingHidPlatform::Open(const std::string& path, bool overlapped) {
  const Handle handle = Inner().Open(path, overlapped);
  if (IsOpen(handle)) {
    // A node that opened again is news when it is refused once more.
    told_.erase(path);
    return handle;
  }

  const SystemError error = OpenFailure(Inner(), path);
  const auto ids = Inner().IdentifyUnopened(path);
  if (!ids || !IsJoystick(*ids)) {
    return handle;
  }
  const std::int64_t now = clock_.NowMs();
  auto [told, isNew] = told_.try_emplace(path, Told{error.text, now});
  if (!isNew) {
    if (told->second.reason == error.text) return handle;
    if (now - told->second.atMs < kRepeatAfterMs) return handle;
    told->second = {error.text, now};
  }
  if (sink_) sink_(OpenFailureNotice(path, error, accessFix_));
  return handle;
}

SystemError OpenFailure(const HidPlatform& platform, const std::string& path) {
  SystemError error = platform.LastError();
  if (error.text.empty()) error.text = "open " + path + ": reason unknown";
  return error;
}

std::string OpenFailureNotice(const std::string& path, const SystemError& error,
                              const AccessFix& accessFix) {
  std::string fix = error.accessDenied && accessFix ? accessFix() : std::string();
  if (fix.empty()) fix = "unplug the joystick and plug it in again";
  return "the joystick at " + path + " cannot be opened (" + error.text + "); to fix: " + fix;
}

}  // namespace trivexa::hid
