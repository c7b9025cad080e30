#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <chrono>
#include <cstdio>

namespace trivexa::bench {

inline long long NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

// Prints the time from `launchedNs` to the first paint of the widget it
// filters, once that paint has been drawn and flushed: on the turn of the
// event loop after the paint event, whose filter runs before the widget has
// drawn (or even loaded the font for) its text. `thenQuit` ends the program
// there.
class FirstPaint final : public QObject {
 public:
  FirstPaint(long long launchedNs, bool thenQuit) : launchedNs_(launchedNs), thenQuit_(thenQuit) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Paint) {
      seen_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            std::printf("startup_to_first_paint_ms %.1f\n",
                        static_cast<double>(NowNs() - launchedNs_) / 1e6);
            std::fflush(stdout);
            if (thenQuit_) QApplication::exit(0);
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  long long launchedNs_;
  bool thenQuit_;
  bool seen_ = false;
};

}  // namespace trivexa::bench
