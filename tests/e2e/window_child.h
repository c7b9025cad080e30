#pragma once

namespace trivexa::e2e {

// The real window with the real Linux backend, driven like a user, in a
// process of its own that runs under the virtual joystick:
//   <test binary> window-child <case> <folder>
// Prints "<event> <ms since the fixture's start>" lines for the clicks, and
// "status <text>" with the status line when it ends.
int RunWindowChild(int argc, char* argv[]);

}  // namespace trivexa::e2e
