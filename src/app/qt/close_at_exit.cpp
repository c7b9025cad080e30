#include "app/qt/close_at_exit.h"

#include <cstdlib>
#include <thread>
#include <utility>

namespace trivexa::app {
namespace {

// Cleared when the object goes, before main()'s locals are gone for good,
// so the hook never reaches a window that no longer exists.
struct PendingExit {
  std::function<void()> onExit;
  std::thread::id thread;
};

PendingExit& Pending() {
  static auto* pending = new PendingExit();
  return *pending;
}

extern "C" void RunPending() {
  // Only on the window's own thread: from any other, the window's objects
  // may be in use at this very moment.
  if (Pending().thread != std::this_thread::get_id()) return;
  std::function<void()> onExit = std::exchange(Pending().onExit, nullptr);
  if (onExit) onExit();
}

}  // namespace

CloseAtExit::CloseAtExit(std::function<void()> onExit) {
  static const bool registered = std::atexit(RunPending) == 0;
  if (registered) Pending() = {std::move(onExit), std::this_thread::get_id()};
}

CloseAtExit::~CloseAtExit() { Pending() = {}; }

}  // namespace trivexa::app
