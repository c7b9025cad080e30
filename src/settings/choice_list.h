#pragma once

#include <cstdint>
#include <string_view>

namespace trivexa {

// One editable drop-down list of the window.
class ChoiceList {
 public:
  virtual ~ChoiceList() = default;

  virtual void Clear() = 0;
  virtual void Append(std::string_view text) = 0;
  // Selects the entry at `index` (0 .. count-1) and shows its text, or
  // clears the selection for -1. Any other index is refused: false, and
  // nothing changes.
  virtual bool Select(int index) = 0;
  // The selected entry, or -1 when none is (for example after typing).
  virtual std::int16_t SelectedIndex() const = 0;
  virtual int Count() const = 0;
};

}  // namespace trivexa
