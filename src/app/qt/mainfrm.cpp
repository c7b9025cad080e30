#include "app/qt/mainfrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "app/logic/mainfrm_definition.h"
#include "app/logic/save_failure.h"
#include "app/qt/accessibility.h"
#include "app/qt/window_icon.h"

namespace trivexa::app {
namespace {

// How long the window manager has to hand over the focus before the
// window asks for attention instead.
constexpr int kActivationGraceMs = 400;

QColor ToQColor(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }

// Graphical buttons: the background must show in every style, so the
// buttons draw themselves from a style sheet rather than the platform look.
QString ButtonStyle(Rgb background) {
  const QColor colour = ToQColor(background);
  return QStringLiteral(
             "QPushButton { background-color: %1; padding: 0px; border: 2px solid;"
             " border-color: rgb(255, 255, 255) rgb(112, 112, 112) rgb(112, 112, 112)"
             " rgb(255, 255, 255); }"
             "QPushButton:focus { border-color: rgb(0, 0, 0); }"
             "QPushButton:pressed { background-color: %2;"
             " border-color: rgb(112, 112, 112) rgb(255, 255, 255) rgb(255, 255, 255)"
             " rgb(112, 112, 112); }")
      .arg(colour.name(), colour.darker(106).name());
}

// The named face where it is installed; elsewhere the system's choice for
// that name (fontconfig's on Linux), at the same size. A list of stand-ins
// would override that choice with fonts whose Latin letters read badly.
QFont ToQFont(const FontDefinition& definition) {
  QFont font(ToQString(definition.face));
  font.setPointSizeF(definition.points);
  font.setWeight(static_cast<QFont::Weight>(definition.weight));
  font.setItalic(definition.italic);
  font.setUnderline(definition.underline);
  font.setStrikeOut(definition.strikeOut);
  return font;
}

QPalette::ColorRole SystemRole(SystemColour colour) {
  return colour == SystemColour::kWindowText ? QPalette::WindowText : QPalette::ButtonText;
}

QWidget* MakeLabel(QWidget* parent, const ControlDefinition& control) {
  auto* label = new QLabel(ToQString(control.text), parent);
  // Device texts are shown as they are, never as markup.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setFocusPolicy(Qt::NoFocus);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText,
                   QApplication::palette().color(SystemRole(control.textColour)));
  label->setPalette(palette);
  if (control.background) SetLabelBackground(*label, ToQColor(*control.background));
  return label;
}

// A button that Return and Enter press as Space does. It never becomes the
// window's default button: only the focused button reacts, so no key
// presses "Write EEPROM" while a list has the focus.
class Button final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
      if (!event->isAutoRepeat()) animateClick();
      event->accept();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

QWidget* MakeButton(QWidget* parent, const ControlDefinition& control) {
  auto* button = new Button(ToQString(control.text), parent);
  button->setAutoDefault(false);
  button->setDefault(false);
  if (control.background) button->setStyleSheet(ButtonStyle(*control.background));
  return button;
}

QWidget* MakeCombo(QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  // Typed text never becomes an entry, and is not completed to one.
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setCompleter(nullptr);
  combo->setDuplicatesEnabled(true);
  return combo;
}

QWidget* MakeListBox(QWidget* parent) { return new LogList(parent); }

// The desktop draws the frame; where its window manager honours the hints,
// the title bar has the close box alone.
constexpr Qt::WindowFlags kFrameFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

}  // namespace

Mainfrm::Mainfrm(hid::HidPlatform& platform, Clock& clock, InstanceGuard& instance,
                 settings::ProgramFolder programFolder, std::optional<hid::NumberedJoystick> chosen)
    : QWidget(nullptr, kFrameFlags) {
  InstallWindowAccessibility();
  ListShownChildrenOnly(*this);
  if (const QScreen* target = screen()) {
    dpiX_ = target->logicalDotsPerInchX();
    dpiY_ = target->logicalDotsPerInchY();
  }
  BuildControls();

  windowOps_ = std::make_unique<QtWindowOps>(
      *Control<QListWidget>("lstResults"), *Control<QLabel>("Label_USBConnect"),
      *Control<QLabel>("Label_JoyState"), *Control<QLabel>("Label_XY"));
  choiceLists_ = {std::make_unique<ComboChoiceList>(*Control<QComboBox>("Combo1")),
                  std::make_unique<ComboChoiceList>(*Control<QComboBox>("Combo2")),
                  std::make_unique<ComboChoiceList>(*Control<QComboBox>("Combo3")),
                  std::make_unique<ComboChoiceList>(*Control<QComboBox>("Combo4"))};
  timer1_ = Control<QTimer>("Timer1");
  pollTimer_ = std::make_unique<QtPollTimer>(*timer1_, [this] { logic_->Timer1_Timer(); });
  logic_ = std::make_unique<MainfrmLogic>(MainfrmParts{
      *windowOps_,
      {choiceLists_[0].get(), choiceLists_[1].get(), choiceLists_[2].get(), choiceLists_[3].get()},
      *pollTimer_,
      clock,
      platform,
      instance,
      *this,
      std::move(programFolder),
      std::move(chosen)});

  BindEvents();
}

Mainfrm::~Mainfrm() = default;

template <typename T>
T* Mainfrm::Control(const char* name) const {
  T* control = findChild<T*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
  Q_ASSERT(control != nullptr);
  return control;
}

int Mainfrm::X(int twips) const { return TwipsToPixels(twips, dpiX_); }
int Mainfrm::Y(int twips) const { return TwipsToPixels(twips, dpiY_); }

void Mainfrm::BuildControls() {
  setWindowTitle(ToQString(kMainfrmWindow.caption));
  setFont(ToQFont(kMainfrmWindow.font));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(kMainfrmWindow.background));
  setPalette(palette);
  setAutoFillBackground(true);
  setFixedSize(X(kMainfrmWindow.clientWidth), Y(kMainfrmWindow.clientHeight));

  std::vector<std::pair<int, QWidget*>> tabOrder;
  for (const ControlDefinition& control : kMainfrmControls) {
    const QString name = ToQString(control.name);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kTimer: {
        auto* timer = new QTimer(this);
        timer->setObjectName(name);
        timer->setInterval(control.timerIntervalMs);
        // Enabled from the start: the first tick comes one interval from now.
        if (control.timerEnabled) timer->start();
        continue;  // no place on screen
      }
      case ControlKind::kDropDownCombo:
        widget = MakeCombo(this);
        break;
      case ControlKind::kButton:
        widget = MakeButton(this, control);
        break;
      case ControlKind::kListBox:
        widget = MakeListBox(this);
        break;
      case ControlKind::kLabel:
        widget = MakeLabel(this, control);
        break;
    }
    widget->setObjectName(name);
    if (control.font) widget->setFont(ToQFont(*control.font));
    const TwipsRect& place = control.place;
    widget->setGeometry(X(place.left), Y(place.top), X(place.width), Y(place.height));
    // Sized to its text from the start, so its state at load is exactly the
    // one its text changes give it later.
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && control.sizesToText) {
      SizeLabelToText(*label);
    }
    if (!control.shown) widget->hide();
    if (control.kind != ControlKind::kLabel) tabOrder.emplace_back(control.tabIndex, widget);
  }

  // Keyboard order by tab index; labels take no focus and hidden controls
  // are passed over.
  std::sort(tabOrder.begin(), tabOrder.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < tabOrder.size(); ++i) {
    QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
  }
  if (!tabOrder.empty()) tabOrder.front().second->setFocus();
  // The log keeps its place in the chain, but never takes the focus.
  Control<QWidget>("lstResults")->setFocusPolicy(Qt::NoFocus);

  // Each list is named by the caption beside it.
  for (const LabelPair& pair : kMainfrmListLabels) {
    const ControlDefinition* caption = FindMainfrmControl(pair.label);
    NameByLabel(*Control<QWidget>(pair.control.data()), *Control<QLabel>(pair.label.data()),
                ToQString(AccessibleNameOf(caption->text)));
  }
  SetStatusRole(*Control<QLabel>("Label_USBConnect"));
}

void Mainfrm::BindEvents() {
  connect(Control<QPushButton>("Cmd_WriteEEPROM"), &QPushButton::clicked, this,
          [this] { logic_->Cmd_WriteEEPROM_Click(); });
  connect(Control<QPushButton>("Cmd_Exit"), &QPushButton::clicked, this,
          [this] { logic_->Cmd_Exit_Click(); });
  connect(Control<QPushButton>("Clear"), &QPushButton::clicked, this,
          [this] { logic_->Clear_Click(); });
}

void Mainfrm::Load() { logic_->Form_Load(); }

void Mainfrm::ShowWindow() {
  if (ended_) return;
  if (!shownOnce_) {
    shownOnce_ = true;
    if (const QScreen* target = screen()) {
      const QRect area = target->availableGeometry();
      move(area.topLeft() + QPoint((area.width() - width()) / 2, (area.height() - height()) / 2));
    }
    Control<QWidget>("Cmd_WriteEEPROM")->setFocus();
  }
  show();
}

void Mainfrm::ReportSaveFailure(const settings::SaveResult& result) {
  std::fprintf(stderr, "%s\n", SaveFailureLine(result).c_str());
  // Opened once the write handler has ended, and without an event loop of
  // its own: window-modal, so ticks go on as usual while it is up.
  QTimer::singleShot(0, this, [this, text = ToQString(SaveFailureText(result))] {
    if (ended_) return;
    auto* box = new QMessageBox(QMessageBox::Warning, ToQString(kSaveFailureCaption), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("SaveFailure"));
    box->setAccessibleName(QStringLiteral("Settings not saved"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  });
}

void Mainfrm::BringToFront() {
  if (ended_ || !isVisible()) return;
  setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
  QTimer::singleShot(kActivationGraceMs, this, [this] {
    if (!ended_ && !isActiveWindow()) QApplication::alert(this);
  });
}

void Mainfrm::EndProgram() {
  // No unload handler on this path: the window goes away with the program.
  ended_ = true;
  timer1_->stop();
  hide();
  // Before the message loop has started, main() sees ProgramEnded() instead.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void Mainfrm::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (iconAsked_) return;
  iconAsked_ = true;
  // The icon's images are read once the window has been drawn: they are not
  // part of its face, and Qt decodes each one as it is added, which would
  // delay the first paint. A timer of 0 set earlier would still run before
  // it: the window system's first expose comes after the posted events.
  QTimer::singleShot(0, this, [this] {
    const QIcon icon = MakeWindowIcon();
    QApplication::setWindowIcon(icon);
    setWindowIcon(icon);
  });
}

void Mainfrm::closeEvent(QCloseEvent* event) {
  Unload();
  event->accept();
}

void Mainfrm::Unload() {
  if (!ended_) logic_->Form_Unload();
}

}  // namespace trivexa::app
