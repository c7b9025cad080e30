#include "app/win32/child_controls.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "app/win32/dpi.h"
#include "app/win32/win32_adapters.h"
#include "app/win32/window_ids.h"

namespace trivexa::app::win32 {
namespace {

// Room for the open list of a drop-down combo, below its field, at 96 dpi.
constexpr int kDropDownListPixels = 200;

bool IsListCaption(std::string_view name) {
  return std::any_of(kMainfrmListLabels.begin(), kMainfrmListLabels.end(),
                     [&](const LabelPair& pair) { return pair.label == name; });
}

const ControlDefinition* CaptionOfList(std::string_view list) {
  for (const LabelPair& pair : kMainfrmListLabels) {
    if (pair.control == list) return FindMainfrmControl(pair.label);
  }
  return nullptr;
}

DWORD StyleOf(const ControlDefinition& control) {
  const DWORD style = WS_CHILD | (control.shown ? WS_VISIBLE : 0);
  switch (control.kind) {
    case ControlKind::kDropDownCombo:
      return style | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
    case ControlKind::kButton:
      // Drawn by the window, so that its colour shows in every theme.
      return style | WS_TABSTOP | BS_OWNERDRAW;
    case ControlKind::kLabel:
      // Device texts are shown as they are: no '&' mnemonics.
      return style | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
    case ControlKind::kListBox:
    case ControlKind::kTimer:
      break;
  }
  return style;
}

const wchar_t* ClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kDropDownCombo:
      return L"COMBOBOX";
    case ControlKind::kButton:
      return L"BUTTON";
    case ControlKind::kListBox:
    case ControlKind::kLabel:
    case ControlKind::kTimer:
      break;
  }
  return L"STATIC";
}

// The selection field of a drop-down combo is as high as its font makes it;
// its item height moves it to the height of the window definition. What the
// control reports as its item height need not be what it was given (Wine
// adds its border), so the field itself is measured after each step.
void FitComboField(HWND combo, int wantedHeight) {
  LRESULT item = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  if (item == CB_ERR) return;
  for (int attempt = 0; attempt < 4; ++attempt) {
    RECT outer{};
    GetWindowRect(combo, &outer);
    const int difference = wantedHeight - (outer.bottom - outer.top);
    if (difference == 0 || item + difference <= 0) return;
    item += difference;
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
  }
}

}  // namespace

bool HasWindow(const ControlDefinition& control) {
  return control.kind != ControlKind::kTimer && control.kind != ControlKind::kListBox;
}

std::vector<const ControlDefinition*> CreationOrder() {
  std::vector<const ControlDefinition*> byTabIndex;
  for (const ControlDefinition& control : kMainfrmControls) {
    if (HasWindow(control)) byTabIndex.push_back(&control);
  }
  std::sort(byTabIndex.begin(), byTabIndex.end(),
            [](const ControlDefinition* a, const ControlDefinition* b) {
              return a->tabIndex < b->tabIndex;
            });

  // The static text that precedes a control names it for UI Automation and
  // screen readers. Labels take no focus, so the Tab order stays that of the
  // tab indexes.
  std::vector<const ControlDefinition*> order;
  for (const ControlDefinition* control : byTabIndex) {
    if (IsListCaption(control->name)) continue;
    if (const ControlDefinition* caption = CaptionOfList(control->name)) order.push_back(caption);
    order.push_back(control);
  }
  return order;
}

HWND CreateChildControl(HWND parent, HINSTANCE instance, const ControlDefinition& control) {
  const INT_PTR id = IdOfDefinition(control);
  return CreateWindowExW(0, ClassOf(control.kind), Widen(control.text).c_str(), StyleOf(control), 0,
                         0, 0, 0, parent, reinterpret_cast<HMENU>(id), instance, nullptr);
}

void PlaceChildControl(HWND control, const ControlDefinition& definition, HFONT font, int dpi) {
  const TwipsRect& place = definition.place;
  const bool combo = definition.kind == ControlKind::kDropDownCombo;
  const int height = TwipsToPixels(place.height, dpi) +
                     (combo ? MulDiv(kDropDownListPixels, dpi, kDefaultDpi) : 0);
  SetWindowPos(control, nullptr, TwipsToPixels(place.left, dpi), TwipsToPixels(place.top, dpi),
               TwipsToPixels(place.width, dpi), height, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (combo) FitComboField(control, TwipsToPixels(place.height, dpi));
}

}  // namespace trivexa::app::win32
