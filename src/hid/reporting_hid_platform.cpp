#include "hid/reporting_hid_platform.h"

#include <utility>

#include "hid/discovery.h"

namespace trivexa::hid {

ReportingHidPlatform::ReportingHidPlatform(HidPlatform& inner, const Clock& clock, NoticeSink sink,
                                           AccessFix accessFix)
    : inner_(inner), clock_(clock), sink_(std::move(sink)), accessFix_(std::move(accessFix)) {}

Handle ReportingHidPlatform::Open(const std::string& path, bool overlapped) {
  const Handle handle = inner_.Open(path, overlapped);
  if (IsOpen(handle)) {
    // A node that opened again is news when it is refused once more.
    told_.erase(path);
    return handle;
  }

  // Taken before anything else is asked, which could replace it.
  SystemError error = inner_.LastError();
  const auto ids = inner_.IdentifyUnopened(path);
  if (!ids || !IsJoystick(*ids)) {
    return handle;
  }
  if (error.text.empty()) error.text = "open " + path + ": reason unknown";
  const std::int64_t now = clock_.NowMs();
  auto [told, isNew] = told_.try_emplace(path, Told{error.text, now});
  if (!isNew) {
    if (told->second.reason == error.text) return handle;
    if (now - told->second.atMs < kRepeatAfterMs) return handle;
    told->second = {error.text, now};
  }
  if (!sink_) return handle;
  // Only a refused access has a fix of its own; finding it looks at the disk.
  const std::string fix = error.accessDenied && accessFix_ ? accessFix_() : std::string();
  sink_(OpenFailureNotice(path, error, fix));
  return handle;
}

std::string OpenFailureNotice(const std::string& path, const SystemError& error,
                              const std::string& accessFix) {
  std::string fix = error.accessDenied && !accessFix.empty()
                        ? accessFix
                        : "unplug the joystick and plug it in again";
  return "the joystick at " + path + " cannot be opened (" + error.text + "); to fix: " + fix;
}

}  // namespace trivexa::hid
