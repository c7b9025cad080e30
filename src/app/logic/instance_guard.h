#pragma once

namespace trivexa::app {

// Start-up asks this whether another copy of the program is running.
class InstanceGuard {
 public:
  virtual ~InstanceGuard() = default;
  // True when another copy holds the lock; otherwise this copy takes it.
  virtual bool AnotherInstanceRunning() = 0;
};

}  // namespace trivexa::app
