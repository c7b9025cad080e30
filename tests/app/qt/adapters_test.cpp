#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <string>

#include "app/qt/qt_adapters.h"
#include "app/qt/qt_poll_timer.h"

namespace trivexa::app {
namespace {

struct LogRig {
  QWidget parent;
  QListWidget* list = new QListWidget(&parent);
  QLabel* connection = new QLabel(&parent);
  QLabel* status = new QLabel(&parent);
  QLabel* position = new QLabel(&parent);
  QtWindowOps ops{*list, *connection, *status, *position};

  int SelectedRow() const {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
  }
};

TEST(QtWindowOps, LogSelectionFollowsTheLastLineOnlyWhenAsked) {
  LogRig rig;
  rig.ops.SelectLastLog();  // empty log: selects nothing, no error
  EXPECT_EQ(rig.SelectedRow(), -1);
  rig.ops.ClearLog();  // clearing an empty log changes nothing
  EXPECT_EQ(rig.ops.LogLineCount(), 0);

  rig.ops.AppendLog("  ProductName: USB Joystick");
  rig.ops.AppendLog("  Vendor ID: 0x79");
  rig.ops.AppendLog("  USB device found!");
  EXPECT_EQ(rig.SelectedRow(), -1);  // appending selects nothing
  EXPECT_EQ(rig.ops.LogLineCount(), 3);
  rig.ops.SelectLastLog();
  EXPECT_EQ(rig.SelectedRow(), 2);
  EXPECT_EQ(rig.list->currentRow(), 2);

  rig.ops.AppendLog("  Joystick Communications OK!");
  EXPECT_EQ(rig.SelectedRow(), 2);  // now the line before last
  EXPECT_EQ(rig.ops.LogLineCount(), 4);
  EXPECT_EQ(rig.list->item(3)->text(), QStringLiteral("  Joystick Communications OK!"));

  rig.ops.SelectLastLog();
  EXPECT_EQ(rig.SelectedRow(), 3);
  EXPECT_EQ(rig.list->selectedItems().size(), 1);  // single selection

  rig.ops.ClearLog();
  EXPECT_EQ(rig.ops.LogLineCount(), 0);
  EXPECT_EQ(rig.SelectedRow(), -1);
}

TEST(QtWindowOps, SelectLastLogScrollsTheLastLineIntoView) {
  LogRig rig;
  rig.list->resize(200, 60);
  rig.parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.parent));
  for (int i = 0; i < 50; ++i) rig.ops.AppendLog("line " + std::to_string(i));
  rig.ops.SelectLastLog();
  QApplication::processEvents();
  const QRect last = rig.list->visualItemRect(rig.list->item(49));
  EXPECT_TRUE(rig.list->viewport()->rect().intersects(last));
  EXPECT_FALSE(
      rig.list->viewport()->rect().intersects(rig.list->visualItemRect(rig.list->item(0))));
}

TEST(QtWindowOps, LogLineCountStaysWithinSixteenBits) {
  LogRig rig;
  QStringList lines;
  for (int i = 0; i < 40000; ++i) lines << QString::number(i);
  rig.list->addItems(lines);
  EXPECT_EQ(rig.ops.LogLineCount(), 32767);
}

TEST(ComboChoiceList, SelectRefusesOutsideIndexesAndTypedTextSelectsNothing) {
  QWidget parent;
  auto* combo = new QComboBox(&parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  ComboChoiceList list(*combo);
  EXPECT_EQ(list.SelectedIndex(), -1);
  EXPECT_FALSE(list.Select(0));  // nothing to select yet

  for (const char* text : {" 1", " 2", " 3"}) list.Append(text);
  EXPECT_EQ(list.Count(), 3);
  ASSERT_TRUE(list.Select(1));
  EXPECT_EQ(list.SelectedIndex(), 1);
  EXPECT_EQ(combo->currentText(), QStringLiteral(" 2"));

  EXPECT_FALSE(list.Select(3));
  EXPECT_FALSE(list.Select(-2));
  EXPECT_EQ(list.SelectedIndex(), 1);
  EXPECT_EQ(combo->currentText(), QStringLiteral(" 2"));

  // The user types: no entry is selected, and Enter adds none.
  combo->lineEdit()->selectAll();
  QTest::keyClicks(combo->lineEdit(), QStringLiteral("7"));
  EXPECT_EQ(list.SelectedIndex(), -1);
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.SelectedIndex(), -1);

  // Selecting the entry that was current before the typing shows it again.
  ASSERT_TRUE(list.Select(1));
  EXPECT_EQ(list.SelectedIndex(), 1);
  EXPECT_EQ(combo->currentText(), QStringLiteral(" 2"));

  ASSERT_TRUE(list.Select(-1));
  EXPECT_EQ(list.SelectedIndex(), -1);
  EXPECT_EQ(combo->currentText(), QString());

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.SelectedIndex(), -1);
}

TEST(QtPollTimer, EnablingAStoppedTimerStartsAFreshInterval) {
  QTimer timer;
  timer.setInterval(1000);
  QtPollTimer poll(
      timer, [] {}, [] {});
  EXPECT_FALSE(poll.Enabled());

  poll.SetInterval(400);
  poll.SetEnabled(true);
  EXPECT_TRUE(poll.Enabled());
  EXPECT_EQ(poll.Interval(), 400);
  QTest::qWait(250);

  // Neither enabling it again nor setting the same interval restarts it.
  poll.SetEnabled(true);
  poll.SetInterval(400);
  EXPECT_LT(timer.remainingTime(), 250);

  poll.SetEnabled(false);
  EXPECT_FALSE(poll.Enabled());
  EXPECT_FALSE(timer.isActive());
  poll.SetEnabled(true);
  EXPECT_GT(timer.remainingTime(), 300);

  // It really fires, once per interval.
  QSignalSpy ticks(&timer, &QTimer::timeout);
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(ticks.wait(2000));
  EXPECT_GE(clock.elapsed(), 300);

  // A new interval takes effect.
  poll.SetInterval(100);
  EXPECT_EQ(timer.interval(), 100);
  EXPECT_TRUE(poll.Enabled());
}

}  // namespace
}  // namespace trivexa::app
