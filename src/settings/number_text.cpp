#include "settings/number_text.h"

namespace trivexa {

std::string NumberText(std::int64_t value) {
  std::string text = value < 0 ? std::string() : std::string(1, ' ');
  return text.append(std::to_string(value));
}

}  // namespace trivexa
