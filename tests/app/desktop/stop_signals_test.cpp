#include "app/desktop/stop_signals.h"

#include <gtest/gtest.h>

#include <QTest>
#include <csignal>
#include <vector>

namespace trivexa::app {
namespace {

TEST(StopSignals, EachSignalBecomesOneCallOnTheWindowThreadLater) {
  std::vector<int> seen;
  {
    StopSignals stop([&](int signal) { seen.push_back(signal); });
    ASSERT_TRUE(stop.Active());
    // Only one object can own the handlers.
    StopSignals second([&](int) { seen.push_back(0); });
    EXPECT_FALSE(second.Active());

    ASSERT_EQ(std::raise(SIGTERM), 0);
    ASSERT_EQ(std::raise(SIGHUP), 0);
    ASSERT_EQ(std::raise(SIGINT), 0);
    // Nothing runs inside the signal handler itself.
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen.size() >= 3; }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(seen, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
  }
  // Gone: the signals end the process again.
  struct sigaction current {};
  ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace trivexa::app
