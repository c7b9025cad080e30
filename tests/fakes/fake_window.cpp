#include "fakes/fake_window.h"

#include <algorithm>

namespace trivexa::fakes {

void FakeWindow::AppendLog(std::string_view line) {
  log.emplace_back(line);
  timeline_.Add(clock_.NowMs(), "log " + std::string(line));
}

void FakeWindow::SelectLastLog() {
  selectedLine = static_cast<int>(log.size()) - 1;
  timeline_.Add(clock_.NowMs(), "select " + std::to_string(selectedLine));
}

void FakeWindow::ClearLog() {
  log.clear();
  selectedLine = -1;
  timeline_.Add(clock_.NowMs(), "clear log");
}

void FakeWindow::SetConnectionLabel(bool isConnected) {
  connected = isConnected;
  timeline_.Add(clock_.NowMs(), isConnected ? "label connected" : "label unconnected");
}

void FakeWindow::SetStatusText(std::string_view text) {
  status = text;
  timeline_.Add(clock_.NowMs(), "status " + status);
}

void FakeWindow::SetPositionText(std::string_view text) {
  position = text;
  timeline_.Add(clock_.NowMs(), "position " + position);
}

void FakeChoiceList::Clear() {
  entries.clear();
  selected = -1;
  shownText.clear();
}

bool FakeChoiceList::Select(int index) {
  if (index < -1 || index >= Count()) return false;
  selected = index;
  shownText = index < 0 ? std::string() : entries[static_cast<std::size_t>(index)];
  return true;
}

FakePollTimer::FakePollTimer(Timeline& timeline, const Clock& clock)
    : timeline_(timeline), clock_(clock), nextTickAt_(clock.NowMs() + 1000) {}

void FakePollTimer::SetEnabled(bool enabled) {
  if (enabled && !enabled_) nextTickAt_ = clock_.NowMs() + interval_;
  enabled_ = enabled;
  timeline_.Add(clock_.NowMs(), enabled ? "timer on" : "timer off");
}

void FakePollTimer::SetInterval(int milliseconds) {
  timeline_.Add(clock_.NowMs(), "interval " + std::to_string(milliseconds));
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  nextTickAt_ = clock_.NowMs() + interval_;
}

void FakePollTimer::Fired() {
  nextTickAt_ += interval_;
  if (nextTickAt_ < clock_.NowMs()) nextTickAt_ = clock_.NowMs() + interval_;
}

}  // namespace trivexa::fakes
