#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <string_view>

#include "app/logic/mainfrm_definition.h"

namespace trivexa::app::win32 {

// A control's id, also its WM_COMMAND id: its place in the control table,
// counted from a base clear of IDOK and IDCANCEL, which the dialog keys send.
enum ControlId : int {};
inline constexpr int kFirstControlId = 1001;

constexpr ControlId IdAt(std::size_t index) {
  return static_cast<ControlId>(kFirstControlId + static_cast<int>(index));
}

// The id of the control of that name; a name the table lacks does not build.
consteval ControlId IdOf(std::string_view name) { return IdAt(MainfrmControlIndex(name)); }

// The id of an entry of the control table.
constexpr ControlId IdOfDefinition(const ControlDefinition& control) {
  return IdAt(static_cast<std::size_t>(&control - kMainfrmControls.data()));
}

// The table's entry for an id, or null for an id of no control.
constexpr const ControlDefinition* DefinitionOfId(int id) {
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(kMainfrmControls.size())) return nullptr;
  return &kMainfrmControls[static_cast<std::size_t>(index)];
}

// The controls the window's code reaches by name.
inline constexpr ControlId kCombo1 = IdOf("Combo1");
inline constexpr ControlId kCombo2 = IdOf("Combo2");
inline constexpr ControlId kCombo3 = IdOf("Combo3");
inline constexpr ControlId kCombo4 = IdOf("Combo4");
inline constexpr ControlId kCmdWriteEeprom = IdOf("Cmd_WriteEEPROM");
inline constexpr ControlId kCmdExit = IdOf("Cmd_Exit");
inline constexpr ControlId kClear = IdOf("Clear");
inline constexpr ControlId kLabelXy = IdOf("Label_XY");
inline constexpr ControlId kLabelJoyState = IdOf("Label_JoyState");
inline constexpr ControlId kLabelUsbConnect = IdOf("Label_USBConnect");

// The lists in the order the logic takes them.
inline constexpr std::array<ControlId, 4> kListIds{kCombo1, kCombo2, kCombo3, kCombo4};

// Timer1's WM_TIMER id.
inline constexpr UINT_PTR kTimer1Id = IdOf("Timer1");
// Posted by a failed save: the box opens once the write handler has ended.
inline constexpr UINT kSaveFailedMessage = WM_APP + 1;
// A second launch asks which joystick the window follows; the answer is a
// global atom of FollowedKey's text (0 for none), which the asker deletes.
inline constexpr UINT kFollowedJoystickMessage = WM_APP + 2;

// The window's class name: a second copy finds the running window by it.
inline constexpr const wchar_t* kMainfrmClass = L"Trivexa.Mainfrm";

}  // namespace trivexa::app::win32
