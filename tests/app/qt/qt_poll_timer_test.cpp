#include "app/qt/qt_poll_timer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

namespace trivexa::app {
namespace {

// A timeout as the event loop delivers it, at once.
void Fire(QTimer& timer) { QMetaObject::invokeMethod(&timer, "timeout"); }

class TickOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    timer.setInterval(1000);
    timer.start();
  }

  QTimer timer;
  std::vector<std::string> events;
};

TEST_F(TickOrder, WaitingInputIsDeliveredBeforeTheTick) {
  QtPollTimer poll(
      timer, [this] { events.push_back("tick"); }, [this] { events.push_back("input"); });
  Fire(timer);
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"input", "tick", "input", "tick"}));
  EXPECT_EQ(timer.timerType(), Qt::PreciseTimer);
}

TEST_F(TickOrder, ATickSwitchedOffByWaitingInputDoesNotRun) {
  // EXIT or the close box, clicked during the last tick.
  std::unique_ptr<QtPollTimer> poll;
  poll = std::make_unique<QtPollTimer>(
      timer, [this] { events.push_back("tick"); },
      [&] {
        events.push_back("input");
        poll->SetEnabled(false);
      });
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"input"}));
  EXPECT_FALSE(timer.isActive());
}

TEST_F(TickOrder, ATickOvertakenByAFreshIntervalDoesNotRun) {
  // The write command stops the timer and starts it again: the next tick
  // comes a full interval after it.
  std::unique_ptr<QtPollTimer> poll;
  bool writeClicked = false;
  poll = std::make_unique<QtPollTimer>(
      timer, [this] { events.push_back("tick"); },
      [&] {
        events.push_back("input");
        if (writeClicked) return;
        writeClicked = true;
        poll->SetEnabled(false);
        poll->SetEnabled(true);
      });
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"input"}));
  EXPECT_TRUE(timer.isActive());
  EXPECT_GT(timer.remainingTime(), 900);
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"input", "input", "tick"}));
}

TEST_F(TickOrder, NoTickRunsInsideAnotherAndAnIntervalChangeOvertakesTheTick) {
  std::unique_ptr<QtPollTimer> poll;
  poll = std::make_unique<QtPollTimer>(
      timer, [this] { events.push_back("tick"); },
      [&] {
        events.push_back("input");
        Fire(timer);              // a timeout delivered with the input is no second tick
        poll->SetInterval(1000);  // the same interval restarts nothing
      });
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"input", "tick"}));

  events.clear();
  poll = std::make_unique<QtPollTimer>(
      timer, [this] { events.push_back("tick"); },
      [&] {
        events.push_back("input");
        poll->SetInterval(500);
      });
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"input"}));
}

// Input the event loop holds is delivered by the default, before the tick.
TEST(QtPollTimerEvents, PostedInputRunsBeforeTheTick) {
  QTimer timer;
  timer.setInterval(1000);
  timer.start();
  std::vector<std::string> events;
  QtPollTimer poll(timer, [&] { events.push_back("tick"); });
  QObject receiver;
  QMetaObject::invokeMethod(
      &receiver, [&] { events.push_back("click"); }, Qt::QueuedConnection);
  Fire(timer);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "tick"}));
}

}  // namespace
}  // namespace trivexa::app
