#pragma once

namespace trivexa {

// Which of standard input, output and error were closed when the program
// started.
struct ClosedStreams {
  bool input = false;
  bool output = false;
  bool error = false;
};

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Called
// first thing in main: otherwise the next open, the joystick's node say,
// would become standard output, and text meant for the terminal would be
// written into the device. Nothing to do on Windows.
ClosedStreams OpenClosedStandardStreams();

}  // namespace trivexa
