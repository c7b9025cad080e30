#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trivexa {

// What the logic may do to the main window. The Qt window implements it;
// tests use a fake that records every call with its time.
class WindowOps {
 public:
  virtual ~WindowOps() = default;

  // Adds a line at the end of the (hidden) log; the selection stays.
  virtual void AppendLog(std::string_view line) = 0;
  // Selects the last log line; on an empty log this selects nothing.
  virtual void SelectLastLog() = 0;
  virtual void ClearLog() = 0;
  virtual std::int16_t LogLineCount() const = 0;
  // Red "Joystick unconnected" or green "Joystick connected".
  virtual void SetConnectionLabel(bool connected) = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  virtual void SetPositionText(std::string_view text) = 0;
  // The title bar, which screen readers take as the window's name.
  virtual void SetTitle(std::string_view title) = 0;
};

}  // namespace trivexa
