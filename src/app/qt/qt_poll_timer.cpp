#include "app/qt/qt_poll_timer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <utility>

namespace trivexa::app {
namespace {

// Handing out waiting input ends when nothing more is waiting; this bounds
// it should something keep posting events.
constexpr int kDeliverLimitMs = 200;

}  // namespace

QtPollTimer::QtPollTimer(QTimer& timer, std::function<void()> tick, Deliver deliverWaiting)
    : timer_(timer), tick_(std::move(tick)), deliverWaiting_(std::move(deliverWaiting)) {
  timer_.setTimerType(Qt::PreciseTimer);
  connection_ = QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { OnTimeout(); });
}

QtPollTimer::~QtPollTimer() { QObject::disconnect(connection_); }

void QtPollTimer::DeliverWaitingEvents() {
  // Runs the event loop until nothing is waiting: input read from the
  // display while the last tick ran becomes events on the first pass and is
  // delivered on the next.
  QCoreApplication::processEvents(QEventLoop::AllEvents, kDeliverLimitMs);
}

void QtPollTimer::OnTimeout() {
  if (delivering_) return;
  const std::uint64_t starts = starts_;
  delivering_ = true;
  deliverWaiting_();
  delivering_ = false;
  // EXIT or the close box switch the timer off; the write command starts a
  // fresh interval. Either way this tick is no longer due.
  if (!timer_.isActive() || starts != starts_) return;
  tick_();
}

void QtPollTimer::SetEnabled(bool enabled) {
  if (!enabled) {
    timer_.stop();
  } else if (!timer_.isActive()) {
    ++starts_;
    timer_.start();
  }
}

void QtPollTimer::SetInterval(int milliseconds) {
  // QTimer restarts a running timer on every new interval; the same value
  // must leave the running interval alone.
  if (milliseconds == timer_.interval()) return;
  if (timer_.isActive()) ++starts_;
  timer_.setInterval(milliseconds);
}

}  // namespace trivexa::app
