#pragma once

#include <windows.h>

#include <vector>

#include "app/logic/mainfrm_definition.h"

namespace trivexa::app::win32 {

// The control table's entries as the platform's own child controls.

// Whether the entry is a window of its own: the timer is none, and the log
// is kept by the window operations rather than in a list box.
bool HasWindow(const ControlDefinition& control);

// The entries with a window, in the order to create them: that of the tab
// indexes, which is the order the Tab key visits them in, except that each
// list's caption comes just before its list.
std::vector<const ControlDefinition*> CreationOrder();

// Creates the child control of an entry, with the entry's id.
HWND CreateChildControl(HWND parent, HINSTANCE instance, const ControlDefinition& control);

// Puts the control in its place at `dpi`, in that font.
void PlaceChildControl(HWND control, const ControlDefinition& definition, HFONT font, int dpi);

}  // namespace trivexa::app::win32
