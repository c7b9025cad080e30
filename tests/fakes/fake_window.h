#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/logic/mainfrm_logic.h"
#include "app/logic/poll_timer.h"
#include "fakes/timeline.h"
#include "host/window_ops.h"
#include "settings/choice_list.h"

namespace trivexa::fakes {

// The window's log and labels, recording every change in the timeline:
// "log <line>", "select <n>", "clear log", "label connected|unconnected",
// "status <text>", "position <text>", "title <text>".
class FakeWindow final : public WindowOps {
 public:
  FakeWindow(Timeline& timeline, const Clock& clock) : timeline_(timeline), clock_(clock) {}

  void AppendLog(std::string_view line) override;
  void SelectLastLog() override;
  void ClearLog() override;
  std::int16_t LogLineCount() const override { return static_cast<std::int16_t>(log.size()); }
  void SetConnectionLabel(bool isConnected) override;
  void SetStatusText(std::string_view text) override;
  void SetPositionText(std::string_view text) override;
  void SetTitle(std::string_view text) override {
    timeline_.Add(clock_.NowMs(), "title " + std::string(text));
  }

  std::vector<std::string> log;
  int selectedLine = -1;
  bool connected = false;
  std::string status;
  std::string position;

 private:
  Timeline& timeline_;
  const Clock& clock_;
};

// A drop-down list; Type() stands for the user typing into its field.
class FakeChoiceList final : public ChoiceList {
 public:
  void Clear() override;
  void Append(std::string_view text) override { entries.emplace_back(text); }
  bool Select(int index) override;
  std::int16_t SelectedIndex() const override { return static_cast<std::int16_t>(selected); }
  int Count() const override { return static_cast<int>(entries.size()); }

  void Type(std::string text) {
    shownText = std::move(text);
    selected = -1;
  }

  std::vector<std::string> entries;
  int selected = -1;
  std::string shownText;
};

// A timer that knows when it would fire next: "timer on", "timer off",
// "interval <ms>".
class FakePollTimer final : public PollTimer {
 public:
  FakePollTimer(Timeline& timeline, const Clock& clock);

  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void SetInterval(int milliseconds) override;
  int Interval() const override { return interval_; }

  std::int64_t NextTickAt() const { return nextTickAt_; }
  // Called as the tick fires, before its handler runs: the next tick is
  // due one interval after this one. A handler that stops and restarts the
  // timer moves it; one that runs past it gets the next tick at once after.
  void Fired();

 private:
  Timeline& timeline_;
  const Clock& clock_;
  bool enabled_ = true;
  int interval_ = 1000;
  std::int64_t nextTickAt_;
};

class FakeInstanceGuard final : public InstanceGuard {
 public:
  bool AnotherInstanceRunning() override {
    ++asked;
    return anotherRunning;
  }
  bool anotherRunning = false;
  int asked = 0;
};

class FakeProgramControl final : public app::ProgramControl {
 public:
  explicit FakeProgramControl(Timeline& timeline) : timeline_(timeline) {}
  void ShowWindow() override {
    shown = true;
    timeline_.Add(0, "show window");
  }
  void EndProgram() override {
    ended = true;
    timeline_.Add(0, "end program");
  }
  void ReportSaveFailure(const settings::SaveResult& result) override {
    saveFailures.push_back(result);
    timeline_.Add(0, "save failed");
  }
  bool shown = false;
  bool ended = false;
  std::vector<settings::SaveResult> saveFailures;

 private:
  Timeline& timeline_;
};

}  // namespace trivexa::fakes
