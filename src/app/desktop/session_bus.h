#pragma once

namespace trivexa::app {

// Root without a session bus address (the window started with plain sudo)
// would have D-Bus start a bus of root's for the display when Qt first asks
// for one: a root-owned ~/.dbus in the user's home, and a daemon that runs
// on after the window. This tells D-Bus there is no session bus instead.
// Call before QApplication. A screen reader then reaches the window only
// when the caller keeps the user's DBUS_SESSION_BUS_ADDRESS (or the
// accessibility bus's AT_SPI_BUS_ADDRESS) in the environment.
void KeepRootFromStartingASessionBus();

}  // namespace trivexa::app
