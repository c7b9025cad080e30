// The floor for the start-up figure: a bare Qt window of the tool's size
// with one label, timed to its first paint as app_bench.cpp times the real
// one. Run by measure_app.sh.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

long long NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

class FirstPaint final : public QObject {
 public:
  explicit FirstPaint(long long launchedNs) : launchedNs_(launchedNs) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      std::printf("startup_to_first_paint_ms %.1f\n",
                  static_cast<double>(NowNs() - launchedNs_) / 1e6);
      std::fflush(stdout);
      QApplication::exit(0);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  long long launchedNs_;
};

}  // namespace

int main(int argc, char* argv[]) {
  const long long launchedNs = argc > 1 ? std::stoll(argv[1]) : NowNs();
  QApplication application(argc, argv);
  QWidget window;
  window.setFixedSize(564, 265);
  QLabel label(QStringLiteral("Joystick unconnected"), &window);
  FirstPaint firstPaint(launchedNs);
  window.installEventFilter(&firstPaint);
  window.show();
  return QApplication::exec();
}
