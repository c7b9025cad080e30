#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scenario.h"

namespace vjoy {

// A report of `trivexactl report` as a scenario: the interfaces it lists
// (names, ids, ports, descriptors, a node that could not be opened), and
// for the joystick of its transcript the replies it recorded, each with
// its delay after the output report it answers.

// True for the text of such a report.
bool IsProblemReport(std::string_view text);

// The scenario the report stands for; on a fault nothing, and where in
// `error`.
std::optional<Scenario> ParseProblemReport(std::string_view text, std::string& error);

// Answers output reports with a report's recorded replies, step by step in
// the recorded order. A command the recording has no step for at this
// point gets the replies of the last recorded step of the same command; a
// write the recording saw fail fails again.
class ReplayFirmware {
 public:
  explicit ReplayFirmware(std::vector<ReplayStep> steps) : steps_(std::move(steps)) {}

  struct Answer {
    std::vector<ReplayReply> replies;
    int writeError = 0;    // the write fails with this errno, and nothing answers
    bool unseen = false;   // not the recording's next step
    std::size_t step = 0;  // which step answered, counting from 1; 0: none
  };
  Answer OnCommand(std::uint8_t command);

 private:
  std::vector<ReplayStep> steps_;
  std::size_t next_ = 0;
};

}  // namespace vjoy
