#include "window_test_support.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QTimer>

namespace trivexa::app::testing {

QColor DominantColour(QWidget& widget) {
  const QImage image = widget.grab().toImage();
  QHash<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y) | 0xFF000000u];
  }
  QRgb best = 0;
  int bestCount = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > bestCount) {
      best = it.key();
      bestCount = it.value();
    }
  }
  return QColor::fromRgb(best);
}

QString Name(const ControlDefinition& control) { return QString::fromUtf8(control.name.data()); }

void ShowAndActivate(Mainfrm& window) {
  window.Load();
  ASSERT_TRUE(window.isVisible());
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

WindowRig::WindowRig() {
  const std::string path = folder.path().toStdString();
  window = std::make_unique<Mainfrm>(platform, clock, instance, [path] { return path; });
}

WindowRig::~WindowRig() = default;

void WindowRig::Tick() const { QMetaObject::invokeMethod(Find<QTimer>("Timer1"), "timeout"); }

std::string WindowRig::IniPath() const { return folder.filePath("JOYSTICK.INI").toStdString(); }

}  // namespace trivexa::app::testing
