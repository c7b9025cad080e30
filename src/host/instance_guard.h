#pragma once

namespace trivexa {

// Start-up asks this whether another copy of the program is running. The
// window's logic asks; the single-copy lock, which the command-line tool
// shares, answers.
class InstanceGuard {
 public:
  virtual ~InstanceGuard() = default;
  // True when another copy holds the lock; otherwise this copy takes it.
  virtual bool AnotherInstanceRunning() = 0;
};

}  // namespace trivexa
