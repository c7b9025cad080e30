#pragma once

namespace trivexa {

// The window's one-second poll timer.
class PollTimer {
 public:
  virtual ~PollTimer() = default;

  // Enabling a stopped timer starts a fresh interval.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // Setting the interval it already has does not restart it.
  virtual void SetInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;
};

}  // namespace trivexa
