#include "app/win32/painting.h"

#include <iterator>

#include "app/win32/dpi.h"

namespace trivexa::app::win32 {

COLORREF TextColour(SystemColour colour) {
  return GetSysColor(colour == SystemColour::kWindowText ? COLOR_WINDOWTEXT : COLOR_BTNTEXT);
}

BrushCache::~BrushCache() {
  for (const auto& [colour, brush] : brushes_) DeleteObject(brush);
}

HBRUSH BrushCache::Brush(COLORREF colour) {
  auto [it, added] = brushes_.try_emplace(colour, nullptr);
  if (added) it->second = CreateSolidBrush(colour);
  return it->second;
}

void PaintButton(const DRAWITEMSTRUCT& item, COLORREF face, COLORREF text, int dpi,
                 BrushCache& brushes) {
  RECT area = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &area, brushes.Brush(face));
  DrawEdge(item.hDC, &area, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  wchar_t caption[64] = {};
  GetWindowTextW(item.hwndItem, caption, static_cast<int>(std::size(caption)));
  RECT textArea = area;
  if (pressed) OffsetRect(&textArea, 1, 1);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, text);
  DrawTextW(item.hDC, caption, -1, &textArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT focus = area;
    const int inset = MulDiv(4, dpi, kDefaultDpi);
    InflateRect(&focus, -inset, -inset);
    DrawFocusRect(item.hDC, &focus);
  }
}

}  // namespace trivexa::app::win32
