// Start-up time to the first painted window, and resident memory after an
// idle spell with no joystick, of the real window over the real HID
// backend. Run by measure_app.sh, which passes the moment it launched us.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/qt/mainfrm.h"
#include "first_paint.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"

namespace {

class NoOtherCopy final : public trivexa::InstanceGuard {
 public:
  bool AnotherInstanceRunning() override { return false; }
};

std::string ResidentMemory() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return line.substr(6);
  }
  return "unknown";
}

}  // namespace

int main(int argc, char* argv[]) {
  const long long launchedNs = argc > 1 ? std::stoll(argv[1]) : trivexa::bench::NowNs();
  const int idleSeconds = argc > 2 ? std::stoi(argv[2]) : 60;

  QApplication application(argc, argv);
  QTemporaryDir folder;
  auto platform = trivexa::hid::MakeSystemHidPlatform();
  trivexa::SystemClock clock;
  NoOtherCopy instance;
  trivexa::app::Mainfrm window(*platform, clock, instance,
                               [&] { return folder.path().toStdString(); });
  trivexa::bench::FirstPaint firstPaint(launchedNs, /*thenQuit=*/false);
  window.installEventFilter(&firstPaint);
  window.Load();

  QTimer::singleShot(idleSeconds * 1000, [&] {
    std::printf("resident_memory_after_%ds_idle %s\n", idleSeconds, ResidentMemory().c_str());
    application.quit();
  });
  return QApplication::exec();
}
