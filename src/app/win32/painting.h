#pragma once

#include <windows.h>

#include <map>

#include "app/logic/mainfrm_definition.h"

namespace trivexa::app::win32 {

// What the window paints itself: the colours of its labels and its
// owner-drawn buttons.

COLORREF TextColour(SystemColour colour);

// One brush per colour, made on first use and kept for the owner's life.
class BrushCache {
 public:
  BrushCache() = default;
  ~BrushCache();
  BrushCache(const BrushCache&) = delete;
  BrushCache& operator=(const BrushCache&) = delete;

  HBRUSH Brush(COLORREF colour);

 private:
  std::map<COLORREF, HBRUSH> brushes_;
};

// A button in its face colour, sunken while pressed, its text centred, and
// a focus rectangle only once the keyboard has been used; drawn by the
// window so that its colour shows in every theme.
void PaintButton(const DRAWITEMSTRUCT& item, COLORREF face, COLORREF text, int dpi,
                 BrushCache& brushes);

}  // namespace trivexa::app::win32
