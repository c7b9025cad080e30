// The floor for the start-up figure: the barest Qt window, a top-level label
// of the tool's size, timed to its first paint as app_bench.cpp times the
// real one. Run by measure_app.sh.
#include <QApplication>
#include <QLabel>
#include <string>

#include "first_paint.h"

int main(int argc, char* argv[]) {
  const long long launchedNs = argc > 1 ? std::stoll(argv[1]) : trivexa::bench::NowNs();
  QApplication application(argc, argv);
  QLabel window(QStringLiteral("Joystick unconnected"));
  window.setFixedSize(564, 265);
  trivexa::bench::FirstPaint firstPaint(launchedNs, /*thenQuit=*/true);
  window.installEventFilter(&firstPaint);
  window.show();
  return QApplication::exec();
}
