#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/logic/mainfrm_definition.h"
#include "app/qt/qt_adapters.h"
#include "window_test_support.h"

namespace trivexa::app {
namespace {

using testing::Name;
using testing::ShowAndActivate;
using testing::WindowRig;

// The table control that owns `widget` (a combo's line edit belongs to its
// combo), or an empty name.
QString ControlOf(QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    for (const ControlDefinition& control : kMainfrmControls) {
      if (widget->objectName() == Name(control)) return widget->objectName();
    }
  }
  return {};
}

TEST(MainfrmWindow, TabKeyVisitsButtonsThenListsAndWrapsAround) {
  WindowRig rig;
  ShowAndActivate(*rig.window);
  ASSERT_EQ(ControlOf(QApplication::focusWidget()), QStringLiteral("Cmd_WriteEEPROM"));
  const QStringList expected = {"Cmd_Exit", "Combo1",          "Combo2",  "Combo3",
                                "Combo4",   "Cmd_WriteEEPROM", "Cmd_Exit"};
  QStringList visited;
  for (qsizetype i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << ControlOf(QApplication::focusWidget());
  }
  EXPECT_EQ(visited, expected);
}

// Return and Enter press the focused button as Space does; in a list no
// key presses one.
TEST(MainfrmWindow, ReturnPressesTheFocusedButtonButNeverFromAList) {
  WindowRig rig;
  ShowAndActivate(*rig.window);
  auto* write = rig.Find<QPushButton>("Cmd_WriteEEPROM");
  QSignalSpy clicks(write, &QPushButton::clicked);
  int expected = 0;
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Enter, Qt::KeypadModifier},
        std::pair{Qt::Key_Space, Qt::NoModifier}}) {
    QTest::keyClick(write, key, modifiers);
    ++expected;
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks.count() == expected; }, 2000)) << key;
  }

  QLineEdit* field = rig.Find<QComboBox>("Combo1")->lineEdit();
  field->setFocus();
  QTest::keyClick(field, Qt::Key_Return);
  QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
  QTest::qWait(300);
  EXPECT_EQ(clicks.count(), 3);
}

// What a screen reader is given: the lists by their captions, the
// connection label as the status, and nothing of the hidden controls.
TEST(MainfrmWindow, AssistiveTechnologySeesNamedListsTheStatusAndNoHiddenControl) {
  WindowRig rig;
  rig.window->Load();
  QAccessibleInterface* window = QAccessible::queryAccessibleInterface(rig.window.get());
  ASSERT_NE(window, nullptr);
  QStringList children;
  for (int i = 0; i < window->childCount(); ++i) {
    children << window->child(i)->object()->objectName();
    EXPECT_EQ(window->indexOfChild(window->child(i)), i);
  }
  for (const char* hidden : {"lstResults", "Clear", "Label_XY", "Label5"}) {
    EXPECT_FALSE(children.contains(QLatin1String(hidden))) << hidden;
  }
  EXPECT_EQ(children.size(), 12);

  for (const LabelPair& pair : kMainfrmListLabels) {
    SCOPED_TRACE(pair.control);
    auto* combo = rig.Find<QComboBox>(pair.control.data());
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(combo);
    const QString caption = rig.Find<QLabel>(pair.label.data())->text();
    EXPECT_EQ(list->role(), QAccessible::ComboBox);
    EXPECT_EQ(list->text(QAccessible::Name) + QStringLiteral(" :"), caption);
    EXPECT_EQ(list->text(QAccessible::Value), combo->currentText());
    const auto labels = list->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name), caption);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(combo->lineEdit())->text(QAccessible::Name),
              list->text(QAccessible::Name));
  }

  auto* connection = rig.Find<QLabel>("Label_USBConnect");
  QAccessibleInterface* status = QAccessible::queryAccessibleInterface(connection);
  EXPECT_EQ(status->role(), QAccessible::StatusBar);
  QtWindowOps ops(*rig.Find<QListWidget>("lstResults"), *connection,
                  *rig.Find<QLabel>("Label_JoyState"), *rig.Find<QLabel>("Label_XY"));
  ops.SetConnectionLabel(true);
  EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("Joystick connected"));
}

}  // namespace
}  // namespace trivexa::app
