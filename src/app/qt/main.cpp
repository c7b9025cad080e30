#include <QApplication>
#include <QString>

#include "app/instance/instance_lock.h"
#include "app/qt/mainfrm.h"
#include "common/clock.h"
#include "hid/system_hid_platform.h"
#include "settings/program_folder.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Trivexa"));

  std::unique_ptr<trivexa::hid::HidPlatform> platform = trivexa::hid::MakeSystemHidPlatform();
  trivexa::SystemClock clock;
  trivexa::app::InstanceLock instance;
  trivexa::app::Mainfrm window(*platform, clock, instance, trivexa::settings::ExecutableFolder);
  application.setWindowIcon(window.windowIcon());

  window.Load();
  // A second copy ends inside the load handler, before anything is shown.
  if (window.ProgramEnded()) return 0;
  return QApplication::exec();
}
