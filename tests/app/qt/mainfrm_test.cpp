#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/logic/mainfrm_logic.h"
#include "settings/joystick_settings.h"
#include "settings/settings_store.h"
#include "window_test_support.h"

namespace trivexa::app {
namespace {

using testing::DominantColour;
using testing::WindowRig;

enum class Kind { kCombo, kButton, kList, kLabel };

struct ControlRow {
  const char* name;
  Kind kind;
  const char* text;
  int left, top, width, height;
  int tabIndex;
  bool shown;
  std::optional<QColor> background;
};

const QColor kYellow{255, 255, 192};
const QColor kPink{255, 192, 255};
const QColor kRed{255, 0, 0};
const QColor kGreen{0, 255, 0};

// The window as it must look at load, before the load handler runs.
const std::vector<ControlRow>& ControlTable() {
  static const std::vector<ControlRow> rows = {
      {"Combo4", Kind::kCombo, "", 3480, 2280, 1455, 330, 12, true, std::nullopt},
      {"Combo3", Kind::kCombo, "", 3480, 1680, 1455, 330, 10, true, std::nullopt},
      {"Combo2", Kind::kCombo, "", 3480, 1080, 1455, 330, 8, true, std::nullopt},
      {"Combo1", Kind::kCombo, "", 3480, 480, 1455, 330, 6, true, std::nullopt},
      {"Cmd_WriteEEPROM", Kind::kButton, "Write EEPROM", 6120, 960, 1590, 645, 0, true, kPink},
      {"Clear", Kind::kButton, "Clear Log", 6000, 3960, 1350, 405, 3, false, kPink},
      {"lstResults", Kind::kList, "", 120, 4440, 8175, 900, 2, false, std::nullopt},
      {"Cmd_Exit", Kind::kButton, "EXIT", 6120, 2160, 1590, 525, 4, true, kPink},
      {"Label_XY", Kind::kLabel, "", 720, 3720, 2175, 255, 15, false, kYellow},
      {"Label5", Kind::kLabel, "Please keep the joystick on center point before write EEPROM.", 360,
       4200, 7335, 255, 14, false, kYellow},
      {"Label4", Kind::kLabel, "Transmission interval :", 840, 2280, 2535, 255, 13, true, kYellow},
      {"Label3", Kind::kLabel, "Movement threshold :", 840, 1680, 2535, 255, 11, true, kYellow},
      {"Label2", Kind::kLabel, "Maximum angle offset :", 840, 1080, 2535, 255, 9, true, kYellow},
      {"Label1", Kind::kLabel, "Dead zone angle :", 840, 480, 2535, 255, 7, true, kYellow},
      {"Label_JoyState", Kind::kLabel, "", 720, 3240, 6495, 255, 5, true, kYellow},
      {"Label_USBConnect", Kind::kLabel, "Joystick unconnected", 5760, 360, 2400, 240, 1, true,
       kRed},
  };
  return rows;
}

qreal DpiX() { return QGuiApplication::primaryScreen()->logicalDotsPerInchX(); }
qreal DpiY() { return QGuiApplication::primaryScreen()->logicalDotsPerInchY(); }
int Px(int twips, qreal dpi) { return qRound(twips * dpi / 1440.0); }

QRect TableRect(const ControlRow& row) {
  return QRect(Px(row.left, DpiX()), Px(row.top, DpiY()), Px(row.width, DpiX()),
               Px(row.height, DpiY()));
}

// The table control that owns `widget` (a combo's line edit belongs to its
// combo), or an empty name.
QString ControlOf(QWidget* widget) {
  for (; widget != nullptr; widget = widget->parentWidget()) {
    for (const ControlRow& row : ControlTable()) {
      if (widget->objectName() == QLatin1String(row.name)) return widget->objectName();
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

TEST(MainfrmWindow, ControlsMatchTheWindowDefinition) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  const QFont windowFont = window.font();
  EXPECT_DOUBLE_EQ(windowFont.pointSizeF(), 10.5);
  ASSERT_FALSE(windowFont.families().isEmpty());
  EXPECT_EQ(windowFont.families().first(), QStringLiteral(u"宋体"));

  // Texts and places at load, before the load handler fills anything.
  for (const ControlRow& row : ControlTable()) {
    SCOPED_TRACE(row.name);
    QWidget* widget = rig.Find<QWidget>(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &window);
    const QString text = QString::fromUtf8(row.text);
    switch (row.kind) {
      case Kind::kCombo: {
        auto* combo = qobject_cast<QComboBox*>(widget);
        ASSERT_NE(combo, nullptr);
        EXPECT_TRUE(combo->isEditable());
        EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
        EXPECT_EQ(combo->count(), 0);
        EXPECT_EQ(combo->currentText(), text);
        break;
      }
      case Kind::kButton: {
        auto* button = qobject_cast<QPushButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), text);
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
        break;
      }
      case Kind::kList: {
        auto* list = qobject_cast<QListWidget*>(widget);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 0);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
        EXPECT_FALSE(list->isSortingEnabled());
        break;
      }
      case Kind::kLabel: {
        auto* label = qobject_cast<QLabel*>(widget);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        const bool connection = QLatin1String(row.name) == QLatin1String("Label_USBConnect");
        const QPalette::ColorRole systemRole =
            connection ? QPalette::WindowText : QPalette::ButtonText;
        EXPECT_EQ(label->palette().color(QPalette::WindowText),
                  QApplication::palette().color(systemRole));
        EXPECT_EQ(label->palette().color(QPalette::Window), *row.background);
        break;
      }
    }
    if (QLatin1String(row.name) == QLatin1String("Label_USBConnect")) {
      // It sizes itself to its text: its corner is the table's, its size
      // that of the text in its own 12 point font.
      EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 12.0);
      const QFontMetrics metrics(widget->font());
      EXPECT_EQ(widget->pos(), TableRect(row).topLeft());
      EXPECT_NEAR(widget->width(), metrics.horizontalAdvance(text), 1);
      EXPECT_EQ(widget->height(), metrics.height());
    } else {
      EXPECT_EQ(widget->geometry(), TableRect(row));
      EXPECT_EQ(widget->font(), windowFont);
    }
  }

  // Visibility and colours as the window is first shown.
  window.Load();
  for (const ControlRow& row : ControlTable()) {
    SCOPED_TRACE(row.name);
    QWidget* widget = rig.Find<QWidget>(row.name);
    EXPECT_EQ(widget->isVisible(), row.shown);
    if (row.shown && row.background) {
      EXPECT_EQ(DominantColour(*widget), *row.background);
    }
  }
  EXPECT_EQ(DominantColour(window), kYellow);

  // Tab indexes: the focus chain runs through the controls that take the
  // focus in the order of their indexes.
  std::vector<ControlRow> focusable;
  for (const ControlRow& row : ControlTable()) {
    if (row.kind != Kind::kLabel) focusable.push_back(row);
  }
  std::sort(focusable.begin(), focusable.end(),
            [](const ControlRow& a, const ControlRow& b) { return a.tabIndex < b.tabIndex; });
  QStringList expectedChain;
  for (const ControlRow& row : focusable) expectedChain << QString::fromLatin1(row.name);
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

  const QIcon icon = window.windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QImage image = icon.pixmap(QSize(32, 32)).toImage();
  EXPECT_EQ(image.size(), QSize(32, 32));
  // Something is drawn on it, and not everywhere.
  int opaque = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
  }
  EXPECT_GT(opaque, 100);
  EXPECT_LT(opaque, 32 * 32);

  ShowAndActivate(window);
  const QRect area = window.screen()->availableGeometry();
  EXPECT_NEAR(window.x() - area.x(), (area.width() - window.width()) / 2, 1);
  EXPECT_NEAR(window.y() - area.y(), (area.height() - window.height()) / 2, 1);
  EXPECT_EQ(QApplication::focusWidget(), rig.Find<QWidget>("Cmd_WriteEEPROM"));
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

TEST(MainfrmWindow, HiddenControlsNeverShowButKeepTheirContents) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  window.Load();
  window.Window().AppendLog("  USB device not found!");
  window.Window().AppendLog("  ProductName: Other");
  window.Window().SelectLastLog();
  window.Window().SetPositionText(" X=-300,Y= 25");
  QApplication::processEvents();

  const char* hidden[] = {"lstResults", "Clear", "Label_XY", "Label5"};
  for (const char* name : hidden) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(rig.Find<QWidget>(name)->isVisible());
    EXPECT_FALSE(rig.Find<QWidget>(name)->isVisibleTo(&window));
  }
  auto* log = rig.Find<QListWidget>("lstResults");
  EXPECT_EQ(log->count(), 2);
  EXPECT_EQ(log->currentRow(), 1);
  EXPECT_EQ(rig.Find<QLabel>("Label_XY")->text(), QStringLiteral(" X=-300,Y= 25"));

  // The hidden clear button still clears the log.
  rig.Find<QPushButton>("Clear")->click();
  EXPECT_EQ(log->count(), 0);
  EXPECT_EQ(window.Window().LogLineCount(), 0);
  for (const char* name : hidden) EXPECT_FALSE(rig.Find<QWidget>(name)->isVisible()) << name;
}

TEST(MainfrmWindow, ConnectionLabelChangesColourAndFitsItsText) {
  WindowRig rig;
  Mainfrm& window = *rig.window;
  window.Load();
  auto* label = rig.Find<QLabel>("Label_USBConnect");
  const QRect atLoad = label->geometry();
  const QFontMetrics metrics(label->font());

  window.Window().SetConnectionLabel(true);
  EXPECT_EQ(label->text(), QStringLiteral("Joystick connected"));
  EXPECT_EQ(DominantColour(*label), kGreen);
  EXPECT_EQ(label->pos(), atLoad.topLeft());
  EXPECT_LT(label->width(), atLoad.width());
  EXPECT_NEAR(label->width(), metrics.horizontalAdvance(label->text()), 1);
  EXPECT_EQ(label->height(), atLoad.height());

  window.Window().SetConnectionLabel(false);
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

  const std::string longText =
      "Current Status: <b>4.5deg</b>, +5 , 6 , 50ms, X= 128,Y= 127 and more";
  window.Window().SetStatusText(longText);
  window.Window().SetPositionText("x");
  EXPECT_EQ(status->text().toStdString(), longText);
  EXPECT_EQ(position->text(), QStringLiteral("x"));
  EXPECT_EQ(status->geometry(), statusRect);
  EXPECT_EQ(position->geometry(), positionRect);
  // Markup-looking device text is shown as typed, not interpreted.
  EXPECT_EQ(status->textFormat(), Qt::PlainText);
}

TEST(MainfrmWindow, LoadFillsTheListsFromTheSettingsFile) {
  WindowRig rig;
  settings::SaveSettings({8, 10, 5, 4}, [&] { return rig.folder.path().toStdString(); });
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
  EXPECT_FALSE(rig.window->Timer().Enabled());
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
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.Logic().Link().deviceConnected; }, 3000));
  EXPECT_EQ(connection->text(), QStringLiteral("Joystick connected"));
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
  ASSERT_EQ(window.Choice(3).SelectedIndex(), -1);
  const std::uint8_t storedInterval = window.Logic().Settings().intervalIndex;

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
  QMetaObject::invokeMethod(rig.Find<QTimer>("Timer1"), "timeout");
  ASSERT_TRUE(window.Logic().Link().deviceConnected);
  EXPECT_TRUE(window.close());
  EXPECT_EQ(rig.platform.Joystick(0).closeCommands, 1);
  EXPECT_FALSE(rig.Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(rig.platform.OpenHandleCount(), 0);
  EXPECT_FALSE(window.ProgramEnded());
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
