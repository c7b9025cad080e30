#include "fakes/timeline.h"

namespace trivexa::fakes {
namespace {

bool StartsWithAny(std::string_view text, std::initializer_list<std::string_view> prefixes) {
  for (std::string_view prefix : prefixes) {
    if (text.substr(0, prefix.size()) == prefix) return true;
  }
  return false;
}

}  // namespace

std::vector<Event> Timeline::Matching(std::initializer_list<std::string_view> prefixes) const {
  std::vector<Event> found;
  for (const Event& event : events_) {
    if (prefixes.size() == 0 || StartsWithAny(event.what, prefixes)) found.push_back(event);
  }
  return found;
}

std::vector<std::string> Timeline::Texts(std::initializer_list<std::string_view> prefixes) const {
  std::vector<std::string> texts;
  for (const Event& event : Matching(prefixes)) texts.push_back(event.what);
  return texts;
}

std::vector<Event> Timeline::Relative(std::initializer_list<std::string_view> prefixes) const {
  std::vector<Event> found = Matching(prefixes);
  if (found.empty()) return found;
  const std::int64_t start = found.front().atMs;
  for (Event& event : found) event.atMs -= start;
  return found;
}

}  // namespace trivexa::fakes
