#pragma once

#include <QLoggingCategory>

namespace trivexa::app {

// Every line of the hidden log, at debug level and off by default:
// QT_LOGGING_RULES="trivexa.device.debug=true" shows discovery and the
// exchange with the joystick live.
Q_DECLARE_LOGGING_CATEGORY(deviceLog)

}  // namespace trivexa::app
