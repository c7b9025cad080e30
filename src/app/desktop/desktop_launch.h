#pragma once

#include <qwindowdefs.h>

#include <QByteArray>
#include <cstdint>
#include <optional>

#include "app/desktop/launch_request.h"

namespace trivexa::app {

// What the desktop's launchers expect of a window that a launch reaches.

// Wayland: the next activation request of the window carries `token` (Qt's
// back-end takes it from the environment). However many tokens come, they
// take one buffer's room: the C library keeps every value ever set.
void UseActivationToken(const QByteArray& token);

// X11: the time of the user's click that a startup id carries ("..._TIME<n>").
std::optional<std::uint32_t> LaunchTime(const QByteArray& startupId);

// X11: asks the window manager to activate `window`, the native id of a
// shown top-level window, as of the launch's time, which lets it through
// focus-stealing prevention as a fresh click of the user's would. Nothing
// without an X display or a time in the id.
void ActivateAtLaunchTime(WId window, const QByteArray& startupId);

// X11: ends the launch's startup notification (the launcher's busy cursor)
// with a "remove" message. Nothing without an X display or an id.
void EndStartupNotice(const QByteArray& startupId);

}  // namespace trivexa::app
