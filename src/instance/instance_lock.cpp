#include "instance/instance_lock.h"

#include <utility>

#include "host/standard_streams.h"

namespace trivexa::instance {

InstanceLock::InstanceLock(LockPlace place, Warn warn, Clock* clock)
    : place_(std::move(place)),
      warn_(std::move(warn)),
      clock_(clock != nullptr ? *clock : systemClock_) {
  if (!warn_) {
    warn_ = [](const std::string& message) { PrintNotice("trivexa: warning: ", message); };
  }
}

bool InstanceLock::AnotherInstanceRunning() {
  const LockAttempt attempt = Take();
  switch (attempt.outcome) {
    case LockOutcome::kTaken:
      return false;
    case LockOutcome::kHeldByAnother:
      return true;
    case LockOutcome::kUnavailable:
      break;
  }
  if (!warned_) {
    warned_ = true;
    warn_("no single-copy lock (" + attempt.reason + "); starting without it");
  }
  return false;
}

}  // namespace trivexa::instance
