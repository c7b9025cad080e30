// The floor for the start-up figure: the barest Qt window, a top-level label
// of the tool's size, timed to its first paint as app_bench.cpp times the
// real one. Run by measure_app.sh.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

long long NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

// Reports the time once the first paint has been drawn and flushed: on the
// turn of the event loop after its paint event, whose filter runs before the
// label has drawn (or even loaded the font for) its text.
class FirstPaint final : public QObject {
 public:
  explicit FirstPaint(long long launchedNs) : launchedNs_(launchedNs) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Paint) {
      seen_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            std::printf("startup_to_first_paint_ms %.1f\n",
                        static_cast<double>(NowNs() - launchedNs_) / 1e6);
            std::fflush(stdout);
            QApplication::exit(0);
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  long long launchedNs_;
  bool seen_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  const long long launchedNs = argc > 1 ? std::stoll(argv[1]) : NowNs();
  QApplication application(argc, argv);
  QLabel window(QStringLiteral("Joystick unconnected"));
  window.setFixedSize(564, 265);
  FirstPaint firstPaint(launchedNs);
  window.installEventFilter(&firstPaint);
  window.show();
  return QApplication::exec();
}
