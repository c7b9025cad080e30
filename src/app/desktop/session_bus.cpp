#include "app/desktop/session_bus.h"

#include <unistd.h>

#include <cstdlib>

namespace trivexa::app {

void KeepRootFromStartingASessionBus() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (::geteuid() != 0 || (address != nullptr && address[0] != '\0')) return;
  // D-Bus's own address for "no bus here, start none".
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

}  // namespace trivexa::app
