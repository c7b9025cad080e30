#include "app/desktop/close_at_exit.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "fakes/child_process.h"

namespace trivexa::app {
namespace {

constexpr int kHookRan = 7;
constexpr int kExitStatus = 3;

// exit() as Qt calls it when the display connection breaks.
TEST(CloseAtExit, RunsOnExitFromTheThreadThatMadeItWhileItLives) {
  EXPECT_EQ(fakes::InChild([] {
              CloseAtExit hook([] { ::_exit(kHookRan); });
              std::exit(kExitStatus);
              return 0;
            }),
            kHookRan);

  // Gone with the window: a later exit() reaches nothing.
  EXPECT_EQ(fakes::InChild([] {
              std::optional<CloseAtExit> hook(std::in_place, [] { ::_exit(kHookRan); });
              hook.reset();
              std::exit(kExitStatus);
              return 0;
            }),
            kExitStatus);

  // Another thread's exit() must not touch the window's objects.
  EXPECT_EQ(fakes::InChild([] {
              CloseAtExit hook([] { ::_exit(kHookRan); });
              std::thread([] { std::exit(kExitStatus); }).join();
              return 0;
            }),
            kExitStatus);
}

}  // namespace
}  // namespace trivexa::app
