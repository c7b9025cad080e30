#include "app/qt/accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QStringList>
#include <QVariant>

namespace trivexa::app {
namespace {

// The dynamic property that picks one of the interfaces below.
constexpr const char* kKindProperty = "trivexaAccessible";
constexpr const char* kShownChildren = "shown-children";
constexpr const char* kStatus = "status";
constexpr const char* kNamedCombo = "named-combo";

// The interfaces of this file, told apart from Qt's own.
class OwnAccessible : public QAccessibleWidget {
 public:
  using QAccessibleWidget::QAccessibleWidget;
};

// A window whose hidden children do not exist for assistive technology.
class ShownChildrenAccessible final : public OwnAccessible {
 public:
  explicit ShownChildrenAccessible(QWidget* widget) : OwnAccessible(widget, QAccessible::Window) {}

  int childCount() const override { return static_cast<int>(Shown().size()); }

  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> shown = Shown();
    if (index < 0 || index >= shown.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(shown.at(index));
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    return static_cast<int>(Shown().indexOf(qobject_cast<QWidget*>(child->object())));
  }

 private:
  QList<QWidget*> Shown() const {
    QList<QWidget*> shown;
    for (QObject* object : widget()->children()) {
      auto* child = qobject_cast<QWidget*>(object);
      if (child != nullptr && !child->isWindow() && !child->isHidden()) shown.append(child);
    }
    return shown;
  }
};

// The connection label: a status whose name is its text, so that a change
// of the text is a change of the name.
class StatusAccessible final : public OwnAccessible {
 public:
  explicit StatusAccessible(QWidget* widget) : OwnAccessible(widget, QAccessible::StatusBar) {}

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Name) return static_cast<QLabel*>(widget())->text();
    return QAccessibleWidget::text(type);
  }
};

// An editable list named by its caption. Qt's own interface names a list by
// its current entry on Linux, which leaves a screen reader user guessing
// which setting is which; this one takes the accessible name and gives the
// entry as the value, and as its text: a screen reader's review reads a list
// as one piece, by its text where it has one, else by its name (which would
// repeat the caption beside it).
class NamedComboAccessible final : public OwnAccessible {
 public:
  explicit NamedComboAccessible(QWidget* widget) : OwnAccessible(widget, QAccessible::ComboBox) {}

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Name) return widget()->accessibleName();
    if (type == QAccessible::Value) return Combo()->currentText();
    return QAccessibleWidget::text(type);
  }

  // The field's own text interface: the same text, at the same place.
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface && Combo()->lineEdit() != nullptr) {
      QAccessibleInterface* field = QAccessible::queryAccessibleInterface(Combo()->lineEdit());
      if (field != nullptr) return field->interface_cast(type);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // The entries' list, then the field.
  int childCount() const override { return Combo()->lineEdit() != nullptr ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(Combo()->view());
    if (index == 1 && Combo()->lineEdit() != nullptr) {
      return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
    }
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr || child->object() == nullptr) return -1;
    if (child->object() == Combo()->view()) return 0;
    if (child->object() == Combo()->lineEdit()) return 1;
    return -1;
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action != showMenuAction()) {
      QAccessibleWidget::doAction(action);
    } else if (Combo()->view()->isVisible()) {
      Combo()->hidePopup();
    } else {
      Combo()->showPopup();
    }
  }

 private:
  QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* Factory(const QString& /*className*/, QObject* object) {
  if (object == nullptr || !object->isWidgetType()) return nullptr;
  const QByteArray kind = object->property(kKindProperty).toByteArray();
  if (kind.isEmpty()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (kind == kShownChildren) return new ShownChildrenAccessible(widget);
  if (kind == kStatus && qobject_cast<QLabel*>(object) != nullptr) {
    return new StatusAccessible(widget);
  }
  if (kind == kNamedCombo && qobject_cast<QComboBox*>(object) != nullptr) {
    return new NamedComboAccessible(widget);
  }
  return nullptr;
}

// Marks `widget` for the interface of that kind. Qt may have made and kept its default interface
// already (a label announces its first text as it is built); that one is dropped, so the next
// question gets the marked one.
void SetKind(QWidget& widget, const char* kind) {
  widget.setProperty(kKindProperty, QByteArray(kind));
  QAccessibleInterface* cached = QAccessible::queryAccessibleInterface(&widget);
  if (cached != nullptr && dynamic_cast<OwnAccessible*>(cached) == nullptr) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
  }
}

}  // namespace

void InstallWindowAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

void ListShownChildrenOnly(QWidget& window) { SetKind(window, kShownChildren); }

void SetStatusRole(QLabel& label) { SetKind(label, kStatus); }

void NameByLabel(QWidget& control, QLabel& label, const QString& name) {
  label.setBuddy(&control);
  control.setAccessibleName(name);
  if (auto* combo = qobject_cast<QComboBox*>(&control); combo != nullptr) {
    SetKind(*combo, kNamedCombo);
    if (combo->lineEdit() != nullptr) combo->lineEdit()->setAccessibleName(name);
  }
}

}  // namespace trivexa::app
