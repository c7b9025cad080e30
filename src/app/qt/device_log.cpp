#include "app/qt/device_log.h"

namespace trivexa::app {

Q_LOGGING_CATEGORY(deviceLog, "trivexa.device", QtInfoMsg)

}  // namespace trivexa::app
