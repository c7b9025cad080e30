#pragma once

#include <QIcon>
#include <QPixmap>

namespace trivexa::app {

// A 32 x 32 joystick: base, stick and red knob, drawn at start.
QPixmap JoystickPixmap();
QIcon MakeWindowIcon();

}  // namespace trivexa::app
