#pragma once

#include <functional>

namespace trivexa::app {

// Runs `onExit` if the process ends through exit() while this object lives,
// called on the thread that made the object.
// Qt ends the process that way, from inside its event loop, when the
// connection to the X display breaks; nothing of the window's own closing
// runs then. One object at a time.
class CloseAtExit {
 public:
  explicit CloseAtExit(std::function<void()> onExit);
  ~CloseAtExit();
  CloseAtExit(const CloseAtExit&) = delete;
  CloseAtExit& operator=(const CloseAtExit&) = delete;
};

}  // namespace trivexa::app
