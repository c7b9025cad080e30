#pragma once

#include <QColor>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>

#include "app/logic/mainfrm_definition.h"
#include "app/qt/mainfrm.h"
#include "fakes/fake_hid_platform.h"
#include "fakes/fake_window.h"
#include "fakes/timeline.h"

namespace trivexa::app::testing {

const QColor kRed = QColor(255, 0, 0);
const QColor kGreen = QColor(0, 255, 0);

// The colour that covers most of the widget as it is drawn.
QColor DominantColour(QWidget& widget);

// The object name of a control of the window's table.
QString Name(const ControlDefinition& control);

// Loads the window and waits until it is shown and active.
void ShowAndActivate(Mainfrm& window);

// A real window over the fakes, keeping JOYSTICK.INI in a temporary folder.
struct WindowRig {
  WindowRig();
  ~WindowRig();

  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  std::string IniPath() const;
  // Delivers one tick of Timer1 now instead of waiting for it.
  void Tick() const;

  QTemporaryDir folder;
  fakes::Timeline timeline;
  fakes::FakeClock clock{timeline};
  fakes::FakeHidPlatform platform{timeline, clock};
  fakes::FakeInstanceGuard instance;
  std::unique_ptr<Mainfrm> window;
};

}  // namespace trivexa::app::testing
