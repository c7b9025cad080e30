#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace trivexa::app {

// SIGTERM, SIGINT and SIGHUP (log-out, Ctrl+C, a closed terminal) become a
// call of `onSignal` on the window's thread, between two handlers like any
// click. The signal handler itself only writes the signal's number into a
// pipe, which is all it may safely do. One object per process; while it
// lives the three signals no longer end the process by themselves.
class StopSignals final : public QObject {
 public:
  explicit StopSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // False when the pipe or the handlers could not be set up; the signals
  // then keep their default action.
  bool Active() const { return notifier_ != nullptr; }

 private:
  void Drain();

  std::function<void(int)> onSignal_;
  int readFd_ = -1;
  int writeFd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace trivexa::app
