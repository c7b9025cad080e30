#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace trivexa::app {

// What a screen reader is told about the window, beyond Qt's defaults:
// - the window lists only the controls it shows, so the hidden log, its
//   clear button and the hidden labels never reach assistive technology;
// - a label marked as the status (SetStatusRole) has the status bar role,
//   which screen readers read on request, and its text as its name.
// Installed once per process, before the window is built.
void InstallWindowAccessibility();

// `window` lists only its shown child controls.
void ListShownChildrenOnly(QWidget& window);
void SetStatusRole(QLabel& label);

// Names `control` for assistive technology by its caption `label` and
// relates the two: an editable list's field is named too, since it is what
// takes the focus.
void NameByLabel(QWidget& control, QLabel& label, const QString& name);

}  // namespace trivexa::app
