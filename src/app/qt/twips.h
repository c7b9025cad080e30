#pragma once

#include <QtGlobal>

namespace trivexa::app {

// The window's places and sizes are kept in twips (1/1440 inch); the screen
// works in pixels at its logical resolution.
inline int TwipsToPixels(int twips, qreal dotsPerInch) {
  return qRound(twips * dotsPerInch / 1440.0);
}

}  // namespace trivexa::app
