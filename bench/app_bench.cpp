// Start-up time to the first painted window, and resident memory after an
// idle spell with no joystick, of the real window over the real HID
// backend. Run by measure_app.sh, which passes the moment it launched us.
#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/qt/mainfrm.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"

namespace {

class NoOtherCopy final : public trivexa::app::InstanceGuard {
 public:
  bool AnotherInstanceRunning() override { return false; }
};

long long NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

std::string ResidentMemory() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return line.substr(6);
  }
  return "unknown";
}

// Reports the time once the window's first paint has been drawn and flushed,
// as bare_window_bench.cpp does.
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
  const int idleSeconds = argc > 2 ? std::stoi(argv[2]) : 60;

  QApplication application(argc, argv);
  QTemporaryDir folder;
  auto platform = trivexa::hid::MakeSystemHidPlatform();
  trivexa::SystemClock clock;
  NoOtherCopy instance;
  trivexa::app::Mainfrm window(*platform, clock, instance,
                               [&] { return folder.path().toStdString(); });
  FirstPaint firstPaint(launchedNs);
  window.installEventFilter(&firstPaint);
  window.Load();

  QTimer::singleShot(idleSeconds * 1000, [&] {
    std::printf("resident_memory_after_%ds_idle %s\n", idleSeconds, ResidentMemory().c_str());
    application.quit();
  });
  return QApplication::exec();
}
