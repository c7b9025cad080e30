#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/logic/mainfrm_definition.h"
#include "app/logic/mainfrm_logic.h"
#include "app/qt/qt_adapters.h"
#include "settings/joystick_settings.h"
#include "settings/settings_store.h"
#include "window_test_support.h"

namespace trivexa::app {
namespace {

using testing::DominantColour;
using testing::WindowRig;

const QColor kRed = QColor(255, 0, 0);
const QColor kGreen = QColor(0, 255, 0);

QColor ToQColor(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }
QString Name(const ControlDefinition& control) { return QString::fromUtf8(control.name.data()); }

qreal DpiX() { return QGuiApplication::primaryScreen()->logicalDotsPerInchX(); }
qreal DpiY() { return QGuiApplication::primaryScreen()->logicalDotsPerInchY(); }
int Px(int twips, qreal dpi) { return qRound(twips * dpi / 1440.0); }

QRect TableRect(const ControlDefinition& control) {
  const TwipsRect& place = control.place;
  return QRect(Px(place.left, DpiX()), Px(place.top, DpiY()), Px(place.width, DpiX()),
               Px(place.height, DpiY()));
}

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

void ShowAndActivate(Mainfrm& window) {
  window.Load();
  ASSERT_TRUE(window.isVisible());
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// The widgets are what the window's control table says they are.
TEST(MainfrmWindow, ControlsAreBuiltFromTheControlTable) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  const QFont windowFont = window.font();
  EXPECT_DOUBLE_EQ(windowFont.pointSizeF(), kMainfrmWindow.font.points);
  ASSERT_FALSE(windowFont.families().isEmpty());
  EXPECT_EQ(windowFont.families().first(), QStringLiteral(u"宋体"));
  // The face drawn is fontconfig's choice for that name, not a stand-in of
  // the window's own (where fc-match is at hand to say what that is).
  QProcess match;
  match.start(QStringLiteral("fc-match"), {QStringLiteral("-f"), QStringLiteral("%{family[0]}"),
                                           windowFont.families().first()});
  if (match.waitForFinished(10000) && match.exitCode() == 0) {
    EXPECT_EQ(QFontInfo(windowFont).family().toStdString(),
              match.readAllStandardOutput().toStdString());
  }

  // Texts and places at load, before the load handler fills anything.
  for (const ControlDefinition& control : kMainfrmControls) {
    SCOPED_TRACE(control.name);
    if (control.kind == ControlKind::kTimer) {
      auto* timer = rig.Find<QTimer>(control.name.data());
      ASSERT_NE(timer, nullptr);
      EXPECT_EQ(timer->interval(), control.timerIntervalMs);
      EXPECT_EQ(timer->isActive(), control.timerEnabled);
      continue;
    }
    QWidget* widget = rig.Find<QWidget>(control.name.data());
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &window);
    const QString text = QString::fromUtf8(control.text.data(), qsizetype(control.text.size()));
    switch (control.kind) {
      case ControlKind::kDropDownCombo: {
        auto* combo = qobject_cast<QComboBox*>(widget);
        ASSERT_NE(combo, nullptr);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
        EXPECT_EQ(combo->count(), 0);
        EXPECT_EQ(combo->currentText(), text);
        break;
      }
      case ControlKind::kButton: {
        auto* button = qobject_cast<QPushButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), text);
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
        break;
      }
      case ControlKind::kListBox: {
        auto* list = qobject_cast<QListWidget*>(widget);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 0);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_FALSE(list->isSortingEnabled());
        break;
      }
      case ControlKind::kLabel: {
        auto* label = qobject_cast<QLabel*>(widget);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        const QPalette::ColorRole systemRole = control.textColour == SystemColour::kWindowText
                                                   ? QPalette::WindowText
                                                   : QPalette::ButtonText;
        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                  QApplication::palette().color(systemRole));
        ASSERT_TRUE(control.background.has_value());
        EXPECT_EQ(label->palette().color(QPalette::Window), ToQColor(*control.background));
        break;
      }
      case ControlKind::kTimer:
        break;
    }
    if (control.font) {
      EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), control.font->points);
    } else {
      EXPECT_EQ(widget->font(), windowFont);
    }
    if (control.sizesToText) {
      // Its corner is the table's, its size that of the text in its font.
      const QFontMetrics metrics(widget->font());
      EXPECT_EQ(widget->pos(), TableRect(control).topLeft());
      EXPECT_NEAR(widget->width(), metrics.horizontalAdvance(text), 1);
      EXPECT_EQ(widget->height(), metrics.height());
    } else {
      EXPECT_EQ(widget->geometry(), TableRect(control));
    }
  }

  // Visibility and colours as the window is first shown.
  window.Load();
  for (const ControlDefinition& control : kMainfrmControls) {
    if (control.kind == ControlKind::kTimer) continue;
    SCOPED_TRACE(control.name);
    QWidget* widget = rig.Find<QWidget>(control.name.data());
    EXPECT_EQ(widget->isVisible(), control.shown);
    if (control.shown && control.background) {
      EXPECT_EQ(DominantColour(*widget), ToQColor(*control.background));
    }
  }
  EXPECT_EQ(DominantColour(window), ToQColor(kMainfrmWindow.background));

  // Tab indexes: the focus chain runs through the controls that take the
  // focus in the order of their indexes.
  std::vector<const ControlDefinition*> focusable;
  for (const ControlDefinition& control : kMainfrmControls) {
    if (control.kind != ControlKind::kLabel && control.kind != ControlKind::kTimer) {
      focusable.push_back(&control);
    }
  }
  std::sort(focusable.begin(), focusable.end(),
            [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
  QStringList expectedChain;
  for (const ControlDefinition* control : focusable) expectedChain << Name(*control);
  QStringList chain;
  QWidget* start = rig.Find<QWidget>("Cmd_WriteEEPROM");
  QWidget* step = start;
  do {
    const QString name = step->objectName();
    if (expectedChain.contains(name) && !chain.contains(name)) chain << name;
    step = step->nextInFocusChain();
  } while (step != start);
  EXPECT_EQ(chain, expectedChain);
}

TEST(MainfrmWindow, FrameIsFixedCentredAndCarriesItsIcon) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Trivexa"));
  const QSize client(Px(8460, DpiX()), Px(3975, DpiY()));
  EXPECT_EQ(window.size(), client);
  EXPECT_EQ(window.minimumSize(), client);
  EXPECT_EQ(window.maximumSize(), client);
  if (qFuzzyCompare(DpiX(), 96.0)) {
    EXPECT_EQ(client, QSize(564, 265));
  }

  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));

  // The icon is read only once the window has been drawn.
  QCoreApplication::processEvents();
  EXPECT_FALSE(window.testAttribute(Qt::WA_SetWindowIcon));

  ShowAndActivate(window);
  const QRect area = window.screen()->availableGeometry();
  EXPECT_NEAR(window.x() - area.x(), (area.width() - window.width()) / 2, 1);
  EXPECT_NEAR(window.y() - area.y(), (area.height() - window.height()) / 2, 1);
  EXPECT_EQ(QApplication::focusWidget(), rig.Find<QWidget>("Cmd_WriteEEPROM"));

  ASSERT_TRUE(QTest::qWaitFor([&] { return window.testAttribute(Qt::WA_SetWindowIcon); }, 2000));
  const QIcon icon = window.windowIcon();
  const QImage image = icon.pixmap(QSize(32, 32)).toImage();
  EXPECT_EQ(image.size(), QSize(32, 32));
  // Something is drawn on it, and not everywhere.
  int opaque = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
  }
  EXPECT_GT(opaque, 100);
  EXPECT_LT(opaque, 32 * 32);
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

TEST(MainfrmWindow, HiddenControlsNeverShowButKeepTheirContents) {
  WindowRig rig;
  rig.platform.AddOther(0x046D, 0xC077, u"Mouse");
  rig.platform.AddJoystick();
  Mainfrm& window = *rig.window;
  window.Load();
  // The first tick finds the joystick and logs the scan; the second shows
  // its position in the hidden position label.
  rig.Tick();
  rig.Tick();
  QApplication::processEvents();

  const char* hidden[] = {"lstResults", "Clear", "Label_XY", "Label5"};
  for (const char* name : hidden) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(rig.Find<QWidget>(name)->isVisible());
    EXPECT_FALSE(rig.Find<QWidget>(name)->isVisibleTo(&window));
  }
  auto* log = rig.Find<QListWidget>("lstResults");
  ASSERT_GT(log->count(), 1);
  EXPECT_EQ(log->currentRow(), log->count() - 1);
  EXPECT_EQ(rig.Find<QLabel>("Label_XY")->text(), QStringLiteral(" x=-300,y= 25"));

  // The hidden clear button still clears the log.
  rig.Find<QPushButton>("Clear")->click();
  EXPECT_EQ(log->count(), 0);
  for (const char* name : hidden) EXPECT_FALSE(rig.Find<QWidget>(name)->isVisible()) << name;
}

TEST(MainfrmWindow, ConnectionLabelChangesColourAndFitsItsText) {
  WindowRig rig;
  rig.platform.AddJoystick();
  Mainfrm& window = *rig.window;
  window.Load();
  auto* label = rig.Find<QLabel>("Label_USBConnect");
  const QRect atLoad = label->geometry();
  const QFontMetrics metrics(label->font());

  rig.Tick();
  EXPECT_EQ(label->text(), QStringLiteral("Joystick connected"));
  EXPECT_EQ(DominantColour(*label), kGreen);
  EXPECT_EQ(label->pos(), atLoad.topLeft());
  EXPECT_LT(label->width(), atLoad.width());
  EXPECT_NEAR(label->width(), metrics.horizontalAdvance(label->text()), 1);
  EXPECT_EQ(label->height(), atLoad.height());

  // Unplugged: one tick finds the device lost, the next shows it.
  rig.platform.Unplug(0);
  for (int tick = 0; tick < 3 && label->text() != QStringLiteral("Joystick unconnected"); ++tick) {
    rig.Tick();
  }
  EXPECT_EQ(label->text(), QStringLiteral("Joystick unconnected"));
  EXPECT_EQ(DominantColour(*label), kRed);
  EXPECT_EQ(label->geometry(), atLoad);
}

TEST(MainfrmWindow, StatusAndPositionLabelsKeepTheirSize) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  window.Load();
  auto* status = rig.Find<QLabel>("Label_JoyState");
  auto* position = rig.Find<QLabel>("Label_XY");
  EXPECT_EQ(status->text().toStdString(), STATUS_PLACEHOLDER);
  const QRect statusRect = status->geometry();
  const QRect positionRect = position->geometry();

  // Through adapters over the window's own labels.
  QtWindowOps ops(*rig.Find<QListWidget>("lstResults"), *rig.Find<QLabel>("Label_USBConnect"),
                  *status, *position);
  const std::string longText =
      "Current Status: <b>4.5deg</b>, +5 , 6 , 50ms, X= 128,Y= 127 and more";
  ops.SetStatusText(longText);
  ops.SetPositionText("x");
  EXPECT_EQ(status->text().toStdString(), longText);
  EXPECT_EQ(position->text(), QStringLiteral("x"));
  EXPECT_EQ(status->geometry(), statusRect);
  EXPECT_EQ(position->geometry(), positionRect);
  // Markup-looking device text is shown as typed, not interpreted.
  EXPECT_EQ(status->textFormat(), Qt::PlainText);
}

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
