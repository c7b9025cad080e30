#pragma once

#include <functional>

namespace trivexa::app {

// Runs `onExit`, once, on the thread that made this object, when Qt ends the
// process because the connection to the display broke; nothing of the
// window's own closing runs then. One object at a time.
// - X11: Qt calls exit() from inside its event loop; an exit hook runs
//   `onExit`. An exit() from any other thread leaves the window alone.
// - Wayland: Qt 6.4 warns "The Wayland connection broke..." (or "...
//   experienced a fatal error") and calls _exit(), which runs no exit hooks,
//   from whichever of its threads saw the break first. The warning's handler
//   runs `onExit` before that: at once on the window's thread, or else on the
//   window's thread while Qt's thread waits for it (a few seconds at most).
class CloseAtExit {
 public:
  explicit CloseAtExit(std::function<void()> onExit);
  ~CloseAtExit();
  CloseAtExit(const CloseAtExit&) = delete;
  CloseAtExit& operator=(const CloseAtExit&) = delete;
};

}  // namespace trivexa::app
