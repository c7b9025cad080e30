#include "e2e/window_child.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/logic/command_line.h"
#include "app/qt/mainfrm.h"
#include "hid/system_hid_platform.h"
#include "host/clock.h"
#include "instance/instance_lock.h"

namespace trivexa::e2e {
namespace {

// On the fixture's time line, so the parent can set clicks against the log.
double FixtureMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const char* start = std::getenv("VJOY_START_NS");
  const long long origin = start != nullptr ? std::atoll(start) : 0;
  const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  return static_cast<double>(ns - origin) / 1e6;
}

void Note(const char* event) {
  std::printf("%s %.3f\n", event, FixtureMs());
  std::fflush(stdout);
}

template <typename T>
T* Find(QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(QString::fromLatin1(name));
  if (widget == nullptr) {
    std::printf("missing %s\n", name);
    std::exit(4);
  }
  return widget;
}

}  // namespace

int RunWindowChild(int argc, char* argv[]) {
  if (argc < 4) return 2;
  const std::string scenarioCase = argv[2];
  const std::filesystem::path folder = argv[3];
  QApplication application(argc, argv);

  std::unique_ptr<hid::HidPlatform> platform = hid::MakeSystemHidPlatform();
  SystemClock clock;
  instance::InstanceLock lock(instance::LockPlace{folder.string()});
  std::optional<hid::DeviceChoice> device;  // "device-2": as `trivexa --device 2`
  if (scenarioCase == "device-2") device = 2u;
  app::Mainfrm window(
      *platform, clock, lock, [folder] { return folder; },
      app::ChooseJoystick(*platform, device).joystick);
  window.Load();
  if (window.ProgramEnded()) return 3;

  auto* connection = Find<QLabel>(window, "Label_USBConnect");
  auto* status = Find<QLabel>(window, "Label_JoyState");
  auto* writeButton = Find<QPushButton>(window, "Cmd_WriteEEPROM");
  auto* exitButton = Find<QPushButton>(window, "Cmd_Exit");
  const char* comboNames[] = {"Combo1", "Combo2", "Combo3", "Combo4"};

  auto chooseAndWrite = [&] {
    // The last entry of each list: 8, 10, 5, 4.
    for (const char* name : comboNames) {
      auto* combo = Find<QComboBox>(window, name);
      combo->setCurrentIndex(combo->count() - 1);
    }
    Note("click-write");
    QTest::mouseClick(writeButton, Qt::LeftButton);
  };
  auto clickExit = [&] {
    Note("click-exit");
    QTest::mouseClick(exitButton, Qt::LeftButton);
  };

  std::function<void()> act;
  bool needsDevice = true;
  if (scenarioCase == "write-then-exit") {
    act = [&] {
      chooseAndWrite();
      // Leave after the next poll tick has shown the device's new state.
      QTimer::singleShot(1600, &window, clickExit);
    };
  } else if (scenarioCase == "close-box") {
    act = [&] {
      Note("click-close");
      window.close();
    };
  } else if (scenarioCase == "first-seconds") {
    // Two poll ticks after the connection: the hidden log and the labels.
    act = [&] {
      QTimer::singleShot(2000, &window, [&] {
        auto* log = Find<QListWidget>(window, "lstResults");
        for (int i = 0; i < log->count(); ++i) {
          std::printf("log %s\n", log->item(i)->text().toStdString().c_str());
        }
        std::printf("connection %s\nposition %s\n", connection->text().toStdString().c_str(),
                    Find<QLabel>(window, "Label_XY")->text().toStdString().c_str());
        clickExit();
      });
    };
  } else if (scenarioCase == "write-unconnected") {
    needsDevice = false;
    act = [&] {
      chooseAndWrite();
      QTimer::singleShot(300, &window, clickExit);
    };
  } else if (scenarioCase == "device-2") {
    // Writes, then leaves once the joystick is back from the scenario's unplug.
    act = [&] {
      chooseAndWrite();
      auto* follow = new QTimer(&window);
      QObject::connect(follow, &QTimer::timeout, &window, [&, follow, away = false]() mutable {
        const bool connected = connection->text() == QStringLiteral("Joystick connected");
        if (connected && away) {
          follow->stop();
          QTimer::singleShot(300, &window, clickExit);
        }
        away = away || !connected;
      });
      follow->start(20);
    };
  } else {
    return 2;
  }

  // Acts a little after the window says the device is connected (or, for a
  // case without a device, after the first search has failed), between two
  // poll ticks.
  bool started = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &window, [&] {
    if (started) return;
    const bool ready = needsDevice ? connection->text() == QStringLiteral("Joystick connected")
                                   : status->text().startsWith(QStringLiteral("Current Status:"));
    if (!ready) return;
    started = true;
    QTimer::singleShot(needsDevice ? 300 : 1500, &window, act);
  });
  watch.start(20);
  QTimer::singleShot(20000, &window, [] {
    std::printf("timeout\n");
    std::fflush(stdout);
    QCoreApplication::exit(5);
  });

  const int result = QApplication::exec();
  std::printf("status %s\ntitle %s\n", status->text().toStdString().c_str(),
              window.windowTitle().toStdString().c_str());
  std::fflush(stdout);
  return result;
}

}  // namespace trivexa::e2e
