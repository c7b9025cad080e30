#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "hid/forwarding_hid_platform.h"
#include "host/clock.h"

namespace trivexa::hid {

// Where one-line notices for the user go: standard error in the programs,
// a list in tests.
using NoticeSink = std::function<void(std::string_view line)>;

// Passes every call through to another platform and tells the user when an
// interface that the system identifies as the joystick cannot be opened:
// the node, the system's reason and the fix, in one line. Without it the
// window would just stay "unconnected" with no hint why.
//
// A node is told about once per reason until it opens: discovery retries
// every second, so the same failure would otherwise repeat for ever. A new reason for the
// same node is told again, but at most once a minute: a reason that changes
// every tick would otherwise give a notice every tick. Other vendors'
// interfaces are never mentioned.
class ReportingHidPlatform final : public ForwardingHidPlatform {
 public:
  static constexpr std::int64_t kRepeatAfterMs = 60'000;

  ReportingHidPlatform(HidPlatform& inner, const Clock& clock, NoticeSink sink,
                       AccessFix accessFix);

  Handle Open(const std::string& path, bool overlapped) override;

 private:
  struct Told {
    std::string reason;
    std::int64_t atMs = 0;
  };

  const Clock& clock_;
  NoticeSink sink_;
  AccessFix accessFix_;
  std::map<std::string, Told> told_;  // by node
};

// Why the last Open of `path` on `platform` failed, in the system's words;
// when the system gave no reason the text still names the node. Asked
// before anything else, which could replace it.
SystemError OpenFailure(const HidPlatform& platform, const std::string& path);

// The notice for a joystick node that cannot be opened. Only a refused
// access has a fix of its own, asked of `accessFix` then alone (finding it
// may look at the disk); any other reason gets the plain advice.
std::string OpenFailureNotice(const std::string& path, const SystemError& error,
                              const AccessFix& accessFix);

}  // namespace trivexa::hid
