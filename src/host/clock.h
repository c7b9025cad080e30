#pragma once

#include <cstdint>

namespace trivexa {

// Every pause of the tool goes through here, so tests can replace time.
class Clock {
 public:
  virtual ~Clock() = default;

  // Blocks the calling thread for `milliseconds`.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Monotonic milliseconds since an arbitrary start.
  virtual std::int64_t NowMs() const = 0;
};

// The real clock: std::this_thread::sleep_for and steady_clock.
class SystemClock final : public Clock {
 public:
  void Sleep(std::uint32_t milliseconds) override;
  std::int64_t NowMs() const override;
};

}  // namespace trivexa
