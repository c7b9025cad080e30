#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>

#include "app/logic/poll_timer.h"

namespace trivexa::app {

// Timer1, delivered as the program needs it: a tick comes only when no other
// input is waiting. Qt hands out a timer that fell due during a long
// tick before the clicks, keys and close requests made meanwhile; here those
// are delivered first, and a tick that they switched off or restarted does
// not run. The cadence is precise: 1000 ms means 1000 ms, not 950 to 1050.
class QtPollTimer final : public PollTimer {
 public:
  using Deliver = std::function<void()>;

  // `tick` runs for every tick that is still due once `deliverWaiting` has
  // handed out what was waiting (by default, the thread's pending events).
  QtPollTimer(QTimer& timer, std::function<void()> tick,
              Deliver deliverWaiting = DeliverWaitingEvents);
  ~QtPollTimer() override;
  QtPollTimer(const QtPollTimer&) = delete;
  QtPollTimer& operator=(const QtPollTimer&) = delete;

  static void DeliverWaitingEvents();

  // Enabling a stopped timer starts a fresh interval.
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return timer_.isActive(); }
  void SetInterval(int milliseconds) override;
  int Interval() const override { return timer_.interval(); }

 private:
  void OnTimeout();

  QTimer& timer_;
  std::function<void()> tick_;
  Deliver deliverWaiting_;
  QMetaObject::Connection connection_;
  std::uint64_t starts_ = 0;  // every (re)start, so a tick knows it was overtaken
  bool delivering_ = false;
};

}  // namespace trivexa::app
