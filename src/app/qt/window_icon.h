#pragma once

#include <QIcon>

namespace trivexa::app {

// The application's icon from the installed icon theme, so that the window,
// its launcher and the dock show the same picture; the images built into the
// program (16 to 256 pixels, and the SVG where Qt can draw it) stand in when
// the theme has none, as for a copy that is not installed.
QIcon MakeWindowIcon();

}  // namespace trivexa::app
