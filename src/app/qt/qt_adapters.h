#pragma once

#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QString>
#include <string_view>

#include "host/window_ops.h"
#include "settings/choice_list.h"

namespace trivexa::app {

// The program's texts are UTF-8.
QString ToQString(std::string_view text);

// Paints a label's background in `colour` and keeps its text colour.
void SetLabelBackground(QLabel& label, const QColor& colour);

// Sizes a label to its text, its top left corner staying where it is. A
// first letter that reaches left of where the text starts (the hook of a
// "J" in many fonts) gets that much room, or its edge is cut off.
void SizeLabelToText(QLabel& label);

// The hidden log list. It keeps its lines, count and selection for the
// window operations, but moving its current line sends no focus or selection event to assistive
// technology: the user never sees it, so a screen reader must not read it or lose its place over
// it.
class LogList final : public QListWidget {
 public:
  explicit LogList(QWidget* parent);

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
};

// The window operations on the window's widgets. The widgets belong to the
// window and outlive this object.
class QtWindowOps final : public WindowOps {
 public:
  QtWindowOps(QListWidget& log, QLabel& connection, QLabel& status, QLabel& position)
      : log_(log), connection_(connection), status_(status), position_(position) {}

  void AppendLog(std::string_view line) override;
  void SelectLastLog() override;
  void ClearLog() override;
  std::int16_t LogLineCount() const override;
  void SetConnectionLabel(bool connected) override;
  void SetStatusText(std::string_view text) override;
  void SetPositionText(std::string_view text) override;
  void SetTitle(std::string_view title) override;

  // Why a joystick the system sees cannot be opened, and the fix, on the
  // connection label (its tooltip, and its description for screen readers)
  // until the joystick connects: a user started from a menu sees no
  // terminal.
  void ExplainUnopenedJoystick(std::string_view notice);

 private:
  QListWidget& log_;
  QLabel& connection_;
  QLabel& status_;
  QLabel& position_;
};

// One of the four editable drop-down lists.
class ComboChoiceList final : public ChoiceList {
 public:
  explicit ComboChoiceList(QComboBox& combo) : combo_(combo) {}

  void Clear() override { combo_.clear(); }
  void Append(std::string_view text) override;
  bool Select(int index) override;
  std::int16_t SelectedIndex() const override;
  int Count() const override { return combo_.count(); }

 private:
  QComboBox& combo_;
};

}  // namespace trivexa::app
