#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "app/logic/mainfrm_definition.h"
#include "app/qt/qt_adapters.h"
#include "window_test_support.h"

namespace trivexa::app {
namespace {

using testing::DominantColour;
using testing::kGreen;
using testing::kRed;
using testing::Name;
using testing::ShowAndActivate;
using testing::WindowRig;

QColor ToQColor(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }

qreal DpiX() { return QGuiApplication::primaryScreen()->logicalDotsPerInchX(); }
qreal DpiY() { return QGuiApplication::primaryScreen()->logicalDotsPerInchY(); }
int Px(int twips, qreal dpi) { return qRound(twips * dpi / 1440.0); }

QRect TableRect(const ControlDefinition& control) {
  const TwipsRect& place = control.place;
  return QRect(Px(place.left, DpiX()), Px(place.top, DpiY()), Px(place.width, DpiX()),
               Px(place.height, DpiY()));
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
      // Its corner is the table's, its size that of the text in its font
      // (and the room a first letter's overhang needs).
      const QFontMetrics metrics(widget->font());
      EXPECT_EQ(widget->pos(), TableRect(control).topLeft());
      EXPECT_NEAR(widget->width(), widget->contentsRect().left() + metrics.horizontalAdvance(text),
                  1);
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
  EXPECT_EQ(label->height(), atLoad.height());
  // All of the text's ink lies inside the label, the hook of a "J" that
  // reaches left of the text's start too, with no more room than it needs.
  const auto expectFits = [&] {
    const QString text = label->text();
    const QRect ink = metrics.boundingRect(text).united(metrics.tightBoundingRect(text));
    EXPECT_GE(label->contentsRect().left() + ink.left(), 0) << text.toStdString();
    EXPECT_LE(label->contentsRect().left() + ink.right(), label->width()) << text.toStdString();
    EXPECT_NEAR(label->width(), label->contentsRect().left() + metrics.horizontalAdvance(text), 1);
  };
  expectFits();

  // Unplugged: one tick finds the device lost, the next shows it.
  rig.platform.Unplug(0);
  for (int tick = 0; tick < 3 && label->text() != QStringLiteral("Joystick unconnected"); ++tick) {
    rig.Tick();
  }
  EXPECT_EQ(label->text(), QStringLiteral("Joystick unconnected"));
  EXPECT_EQ(DominantColour(*label), kRed);
  EXPECT_EQ(label->geometry(), atLoad);
  expectFits();
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

}  // namespace
}  // namespace trivexa::app
