#include "app/qt/qt_adapters.h"

#include <QPalette>
#include <QString>
#include <QTextDocument>
#include <algorithm>
#include <limits>

#include "app/logic/mainfrm_definition.h"
#include "app/qt/device_log.h"

namespace trivexa::app {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void SetLabelBackground(QLabel& label, const QColor& colour) {
  QPalette palette = label.palette();
  palette.setColor(QPalette::Window, colour);
  label.setPalette(palette);
  label.setAutoFillBackground(true);
}

void SizeLabelToText(QLabel& label) {
  const QString text = label.text();
  const int overhang = text.isEmpty() ? 0 : std::max(0, -label.fontMetrics().leftBearing(text[0]));
  label.setContentsMargins(overhang, 0, 0, 0);
  label.adjustSize();
}

LogList::LogList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSortingEnabled(false);
}

// QListView's versions announce the change to assistive technology first;
// the item view's own bookkeeping is all the log needs.
void LogList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QAbstractItemView::currentChanged(current, previous);
}

void LogList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  QAbstractItemView::selectionChanged(selected, deselected);
}

void QtWindowOps::AppendLog(std::string_view line) {
  const QString text = ToQString(line);
  qCDebug(deviceLog).noquote() << text;
  log_.addItem(text);
}

void QtWindowOps::SelectLastLog() {
  const int count = log_.count();
  if (count == 0) return;  // nothing to select, and no error
  log_.setCurrentRow(count - 1);
  log_.scrollToItem(log_.item(count - 1));
}

void QtWindowOps::ClearLog() { log_.clear(); }

std::int16_t QtWindowOps::LogLineCount() const {
  return static_cast<std::int16_t>(
      std::min(log_.count(), int{std::numeric_limits<std::int16_t>::max()}));
}

void QtWindowOps::SetConnectionLabel(bool connected) {
  // Colour before text, then the label takes the size of its new text.
  const ConnectionLook& look = connected ? kConnectedLook : kUnconnectedLook;
  SetLabelBackground(connection_,
                     QColor(look.background.red, look.background.green, look.background.blue));
  connection_.setText(ToQString(look.text));
  SizeLabelToText(connection_);
  if (connected) {
    connection_.setToolTip(QString());
    connection_.setAccessibleDescription(QString());
  }
}

void QtWindowOps::ExplainUnopenedJoystick(std::string_view notice) {
  QString text = ToQString(notice);
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  // As rich text, so that the long line wraps.
  connection_.setToolTip(Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
  connection_.setAccessibleDescription(text);
}

void QtWindowOps::SetStatusText(std::string_view text) { status_.setText(ToQString(text)); }

void QtWindowOps::SetPositionText(std::string_view text) { position_.setText(ToQString(text)); }

// The window's accessible name follows its title, so a screen reader names
// the joystick with the window.
void QtWindowOps::SetTitle(std::string_view title) {
  log_.window()->setWindowTitle(ToQString(title));
}

void ComboChoiceList::Append(std::string_view text) { combo_.addItem(ToQString(text)); }

bool ComboChoiceList::Select(int index) {
  if (index < -1 || index >= combo_.count()) return false;
  // Also puts the entry's text back over anything typed into the field,
  // even when the entry was current already.
  combo_.setCurrentIndex(index);
  return true;
}

std::int16_t ComboChoiceList::SelectedIndex() const {
  const int index = combo_.currentIndex();
  // Typing into the field keeps Qt's current index; text that is not the
  // entry's own names no entry.
  if (index >= 0 && combo_.isEditable() && combo_.currentText() != combo_.itemText(index)) {
    return -1;
  }
  return static_cast<std::int16_t>(index);
}

}  // namespace trivexa::app
