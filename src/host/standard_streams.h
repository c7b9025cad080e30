#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// Where std::cout and std::cerr send the program's UTF-8 text while this
// lives. On Windows each of them that is a console gets it as UTF-16
// through WriteConsoleW, which shows every character whatever the
// console's code page; a file or a pipe gets the UTF-8 bytes unchanged, as
// on every other system. The end flushes both and gives them back their
// own buffers. A failed console write fails the stream, as a failed write
// to a file does.
class ConsoleText {
 public:
  ConsoleText();
  ~ConsoleText();
  ConsoleText(const ConsoleText&) = delete;
  ConsoleText& operator=(const ConsoleText&) = delete;

 private:
  struct Redirect;
  std::vector<std::unique_ptr<Redirect>> redirects_;
};

// Writes `prefix`, `text` and a newline to standard error (std::cerr), the
// text made safe for the terminal as TerminalText does: the window's notices
// carry folders, paths and names from outside, whose control characters
// could otherwise retitle or reprogram the user's terminal.
void PrintNotice(std::string_view prefix, std::string_view text);

#ifdef _WIN32
// The arguments wmain was given, without the program name, as UTF-8: the
// system's ANSI code page would lose every character it lacks.
std::vector<std::string> Utf8Arguments(int argc, wchar_t* argv[]);
#endif

}  // namespace trivexa
