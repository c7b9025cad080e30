#include "app/qt/close_at_exit.h"

#include <cstdlib>
#include <utility>

namespace trivexa::app {
namespace {

// Cleared when the object goes, before main()'s locals are gone for good,
// so the hook never reaches a window that no longer exists.
std::function<void()>& Pending() {
  static auto* pending = new std::function<void()>();
  return *pending;
}

extern "C" void RunPending() {
  std::function<void()> onExit = std::exchange(Pending(), nullptr);
  if (onExit) onExit();
}

}  // namespace

CloseAtExit::CloseAtExit(std::function<void()> onExit) {
  static const bool registered = std::atexit(RunPending) == 0;
  if (registered) Pending() = std::move(onExit);
}

CloseAtExit::~CloseAtExit() { Pending() = nullptr; }

}  // namespace trivexa::app
