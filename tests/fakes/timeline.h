#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/clock.h"

namespace trivexa::fakes {

// One thing that happened, at the fake clock's time.
struct Event {
  std::int64_t atMs;
  std::string what;

  friend bool operator==(const Event&, const Event&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Event& event) {
    return out << "\n  {" << event.atMs << ", \"" << event.what << "\"}";
  }
};

// Every fake writes what it saw here, so a test can assert the traffic, the
// pauses and the window updates as one sequence.
class Timeline {
 public:
  void Add(std::int64_t atMs, std::string what) { events_.push_back({atMs, std::move(what)}); }
  const std::vector<Event>& Events() const { return events_; }
  void Clear() { events_.clear(); }

  // The events whose text begins with one of `prefixes`, in order.
  std::vector<Event> Matching(std::initializer_list<std::string_view> prefixes) const;
  // The same, texts only.
  std::vector<std::string> Texts(std::initializer_list<std::string_view> prefixes) const;
  // The same, with times relative to the first event kept.
  std::vector<Event> Relative(std::initializer_list<std::string_view> prefixes) const;

 private:
  std::vector<Event> events_;
};

// Time moves only when something sleeps or waits.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(Timeline& timeline) : timeline_(timeline) {}

  void Sleep(std::uint32_t milliseconds) override {
    timeline_.Add(now_, "sleep " + std::to_string(milliseconds));
    now_ += milliseconds;
  }
  std::int64_t NowMs() const override { return now_; }
  // Moves time on without an event: time passing between handlers.
  void AdvanceTo(std::int64_t atMs) {
    if (atMs > now_) now_ = atMs;
  }
  void Advance(std::int64_t milliseconds) { now_ += milliseconds; }

 private:
  Timeline& timeline_;
  std::int64_t now_ = 0;
};

}  // namespace trivexa::fakes
