#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/window_ops.h"

namespace trivexa::cli {

// The window operations that discovery and the exchange report to, kept in
// memory: the command line has no window, but the same code runs unchanged
// and its log can still be shown.
class QuietWindow final : public WindowOps {
 public:
  void AppendLog(std::string_view line) override { log.emplace_back(line); }
  void SelectLastLog() override {}
  void ClearLog() override { log.clear(); }
  std::int16_t LogLineCount() const override { return static_cast<std::int16_t>(log.size()); }
  void SetConnectionLabel(bool isConnected) override { connected = isConnected; }
  void SetStatusText(std::string_view text) override { status = text; }
  void SetPositionText(std::string_view text) override { position = text; }

  std::vector<std::string> log;
  bool connected = false;
  std::string status;
  std::string position;
};

}  // namespace trivexa::cli
