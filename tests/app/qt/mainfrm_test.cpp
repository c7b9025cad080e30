#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "settings/joystick_settings.h"
#include "settings/settings_store.h"
#include "window_test_support.h"

namespace trivexa::app {
namespace {

using testing::DominantColour;
using testing::kGreen;
using testing::ShowAndActivate;
using testing::WindowRig;

TEST(MainfrmWindow, LoadFillsTheListsFromTheSettingsFile) {
  WindowRig rig;
  ASSERT_TRUE(
      settings::SaveSettings({8, 10, 5, 4}, [&] { return rig.folder.path().toStdString(); }).saved);
  rig.window->Load();
  EXPECT_EQ(rig.Find<QComboBox>("Combo1")->currentText(), QStringLiteral(" 5.0deg"));
  EXPECT_EQ(rig.Find<QComboBox>("Combo2")->currentText(), QStringLiteral(" +5"));
  EXPECT_EQ(rig.Find<QComboBox>("Combo3")->currentText(), QStringLiteral(" 6"));
  EXPECT_EQ(rig.Find<QComboBox>("Combo4")->currentText(), QStringLiteral(" 50ms"));
  EXPECT_EQ(rig.Find<QComboBox>("Combo1")->count(), 9);
  EXPECT_EQ(rig.Find<QComboBox>("Combo4")->count(), 5);
}

TEST(MainfrmWindow, SecondCopyEndsInLoadWithoutShowingOrTouchingAnything) {
  WindowRig rig;
  rig.instance.anotherRunning = true;
  rig.window->Load();
  EXPECT_TRUE(rig.window->ProgramEnded());
  EXPECT_FALSE(rig.window->isVisible());
  EXPECT_FALSE(rig.Find<QTimer>("Timer1")->isActive());
  EXPECT_FALSE(std::filesystem::exists(rig.IniPath()));
  EXPECT_EQ(rig.platform.listCalls, 0);
  EXPECT_EQ(rig.platform.opens, 0);
}

// The real timer, buttons and close box drive the handlers.
TEST(MainfrmWindow, TimerAndButtonsDriveTheDevice) {
  WindowRig rig;
  rig.platform.AddOther(0x046D, 0xC077, u"Mouse");
  rig.platform.AddJoystick();
  Mainfrm& window = *rig.window;
  ShowAndActivate(window);
  auto* connection = rig.Find<QLabel>("Label_USBConnect");

  // The first tick, about a second after creation, finds the joystick.
  EXPECT_EQ(connection->text(), QStringLiteral("Joystick unconnected"));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return connection->text() == QStringLiteral("Joystick connected"); }, 3000));
  EXPECT_EQ(DominantColour(*connection), kGreen);
  EXPECT_TRUE(rig.Find<QTimer>("Timer1")->isActive());

  // Choose entries with the keyboard and the lists, then write.
  rig.Find<QComboBox>("Combo1")->setCurrentIndex(2);
  rig.Find<QComboBox>("Combo2")->setCurrentIndex(0);
  rig.Find<QComboBox>("Combo3")->setCurrentIndex(5);
  auto* combo4 = rig.Find<QComboBox>("Combo4");
  combo4->setCurrentIndex(3);
  // Typed text names no entry: the stored value stays and is shown again.
  combo4->lineEdit()->selectAll();
  QTest::keyClicks(combo4->lineEdit(), QStringLiteral("25ms"));
  ASSERT_EQ(ComboChoiceList(*combo4).SelectedIndex(), -1);
  settings::JoystickSettings stored;
  settings::LoadSettings(stored, [&] { return rig.folder.path().toStdString(); });
  const std::uint8_t storedInterval = stored.intervalIndex;

  QTest::mouseClick(rig.Find<QPushButton>("Cmd_WriteEEPROM"), Qt::LeftButton);
  const settings::JoystickSettings expected{2, 0, 5, storedInterval};
  EXPECT_EQ(rig.platform.Joystick(1).eeprom, expected);
  EXPECT_EQ(combo4->currentText(),
            QString::fromUtf8(settings::kIntervalTexts[storedInterval].data()));
  settings::JoystickSettings saved;
  settings::LoadSettings(saved, [&] { return rig.folder.path().toStdString(); });
  EXPECT_EQ(saved, expected);
  EXPECT_TRUE(rig.Find<QTimer>("Timer1")->isActive());

  // EXIT: one close command, the program ends, and no unload follows.
  QTest::mouseClick(rig.Find<QPushButton>("Cmd_Exit"), Qt::LeftButton);
  EXPECT_EQ(rig.platform.Joystick(1).closeCommands, 1);
  EXPECT_TRUE(window.ProgramEnded());
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(rig.Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
  window.close();
  EXPECT_EQ(rig.platform.Joystick(1).closeCommands, 1);
}

TEST(MainfrmWindow, CloseBoxRunsTheUnloadHandlerOnce) {
  WindowRig rig;
  rig.platform.AddJoystick();
  Mainfrm& window = *rig.window;
  window.Load();
  // Deliver the first tick at once instead of waiting for it.
  rig.Tick();
  ASSERT_EQ(rig.Find<QLabel>("Label_USBConnect")->text(), QStringLiteral("Joystick connected"));
  EXPECT_TRUE(window.close());
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
  EXPECT_FALSE(rig.Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
  EXPECT_FALSE(window.ProgramEnded());
}

TEST(MainfrmWindow, ASaveThatFailsOpensABoxNamingTheFileAfterTheClickHasEnded) {
  WindowRig rig;
  rig.platform.AddJoystick();
  Mainfrm& window = *rig.window;
  window.Load();
  rig.Tick();
  // A folder where the file should be: the device is written, the file not.
  std::filesystem::remove(rig.IniPath());
  std::filesystem::create_directory(rig.IniPath());
  rig.Find<QComboBox>("Combo1")->setCurrentIndex(7);

  QTest::mouseClick(rig.Find<QPushButton>("Cmd_WriteEEPROM"), Qt::LeftButton);
  EXPECT_EQ(rig.platform.Joystick(0).eeprom.deadZoneIndex, 7);
  EXPECT_EQ(rig.Find<QMessageBox>("SaveFailure"), nullptr) << "opened inside the handler";
  QCoreApplication::processEvents();
  auto* box = rig.Find<QMessageBox>("SaveFailure");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Trivexa"));
  EXPECT_TRUE(box->text().contains(QString::fromStdString(rig.IniPath())))
      << box->text().toStdString();
  EXPECT_TRUE(box->text().contains(QStringLiteral("read: "))) << box->text().toStdString();
  // The window goes on polling while the box is up.
  EXPECT_TRUE(rig.Find<QTimer>("Timer1")->isActive());
  const QPointer<QMessageBox> shown(box);
  box->button(QMessageBox::Ok)->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(shown.isNull());
}

TEST(MainfrmWindow, ExitEndsTheRunningMessageLoop) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  window.Load();
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(5000);
  QTimer::singleShot(0, &window,
                     [&] { QTest::mouseClick(rig.Find<QPushButton>("Cmd_Exit"), Qt::LeftButton); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(window.ProgramEnded());
}

}  // namespace
}  // namespace trivexa::app
