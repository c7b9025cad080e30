#include "app/qt/mainfrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <utility>

#include "app/qt/twips.h"
#include "app/qt/window_icon.h"

namespace trivexa::app {
namespace {

const QColor kWindowBackground{255, 255, 192};

// Graphical buttons: the light pink must show in every style, so the
// buttons draw themselves from a style sheet rather than the platform look.
const char* const kButtonStyle =
    "QPushButton { background-color: rgb(255, 192, 255); padding: 0px; border: 2px solid;"
    " border-color: rgb(255, 255, 255) rgb(112, 112, 112) rgb(112, 112, 112) rgb(255, 255, 255); }"
    "QPushButton:focus { border-color: rgb(0, 0, 0); }"
    "QPushButton:pressed { background-color: rgb(240, 176, 240);"
    " border-color: rgb(112, 112, 112) rgb(255, 255, 255) rgb(255, 255, 255) rgb(112, 112, 112); }";

constexpr int kTimerIntervalMs = 1000;

// SimSun where it is installed; elsewhere a font of the same size that has
// the same Latin and Chinese glyphs.
QFont WindowFont(qreal points) {
  QFont font;
  font.setFamilies({QStringLiteral(u"宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                    QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei")});
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  // Device texts are shown as they are, never as markup.
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setFocusPolicy(Qt::NoFocus);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ButtonText));
  label->setPalette(palette);
  SetLabelBackground(*label, kWindowBackground);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setStyleSheet(QString::fromLatin1(kButtonStyle));
  return button;
}

QComboBox* MakeCombo(QWidget* parent, const char* name) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  combo->setEditable(true);
  // Typed text never becomes an entry, and is not completed to one.
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setCompleter(nullptr);
  combo->setDuplicatesEnabled(true);
  return combo;
}

}  // namespace

Mainfrm::Mainfrm(hid::HidPlatform& platform, Clock& clock, InstanceGuard& instance,
                 settings::ProgramFolder programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  if (const QScreen* target = screen()) {
    dpiX_ = target->logicalDotsPerInchX();
    dpiY_ = target->logicalDotsPerInchY();
  }
  BuildControls();

  windowOps_ =
      std::make_unique<QtWindowOps>(*lstResults_, *labelUsbConnect_, *labelJoyState_, *labelXy_);
  choiceLists_ = {
      std::make_unique<ComboChoiceList>(*combo1_), std::make_unique<ComboChoiceList>(*combo2_),
      std::make_unique<ComboChoiceList>(*combo3_), std::make_unique<ComboChoiceList>(*combo4_)};
  pollTimer_ = std::make_unique<QtPollTimer>(*timer1_, [this] { logic_->Timer1_Timer(); });
  logic_ = std::make_unique<MainfrmLogic>(MainfrmParts{
      *windowOps_,
      {choiceLists_[0].get(), choiceLists_[1].get(), choiceLists_[2].get(), choiceLists_[3].get()},
      *pollTimer_,
      clock,
      platform,
      instance,
      *this,
      std::move(programFolder)});

  BindEvents();
  timer1_->start();  // enabled from the start: the first tick comes a second from now
}

Mainfrm::~Mainfrm() = default;

int Mainfrm::X(int twips) const { return TwipsToPixels(twips, dpiX_); }
int Mainfrm::Y(int twips) const { return TwipsToPixels(twips, dpiY_); }

void Mainfrm::Place(QWidget& widget, int left, int top, int width, int height) const {
  widget.setGeometry(X(left), Y(top), X(width), Y(height));
}

void Mainfrm::BuildControls() {
  setWindowTitle(QStringLiteral("Trivexa"));
  setWindowIcon(MakeWindowIcon());
  setFont(WindowFont(10.5));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kWindowBackground);
  setPalette(palette);
  setAutoFillBackground(true);
  setFixedSize(X(8460), Y(3975));

  // In the order of the window definition.
  combo4_ = MakeCombo(this, "Combo4");
  Place(*combo4_, 3480, 2280, 1455, 330);
  combo3_ = MakeCombo(this, "Combo3");
  Place(*combo3_, 3480, 1680, 1455, 330);
  combo2_ = MakeCombo(this, "Combo2");
  Place(*combo2_, 3480, 1080, 1455, 330);
  combo1_ = MakeCombo(this, "Combo1");
  Place(*combo1_, 3480, 480, 1455, 330);

  cmdWriteEeprom_ = MakeButton(this, "Cmd_WriteEEPROM", QStringLiteral("Write EEPROM"));
  Place(*cmdWriteEeprom_, 6120, 960, 1590, 645);

  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(kTimerIntervalMs);

  clear_ = MakeButton(this, "Clear", QStringLiteral("Clear Log"));
  Place(*clear_, 6000, 3960, 1350, 405);
  clear_->hide();

  lstResults_ = new QListWidget(this);
  lstResults_->setObjectName(QStringLiteral("lstResults"));
  lstResults_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstResults_->setSortingEnabled(false);
  Place(*lstResults_, 120, 4440, 8175, 900);
  lstResults_->hide();

  cmdExit_ = MakeButton(this, "Cmd_Exit", QStringLiteral("EXIT"));
  Place(*cmdExit_, 6120, 2160, 1590, 525);

  labelXy_ = MakeLabel(this, "Label_XY", QString());
  Place(*labelXy_, 720, 3720, 2175, 255);
  labelXy_->hide();
  label5_ =
      MakeLabel(this, "Label5",
                QStringLiteral("Please keep the joystick on center point before write EEPROM."));
  Place(*label5_, 360, 4200, 7335, 255);
  label5_->hide();
  label4_ = MakeLabel(this, "Label4", QStringLiteral("Transmission interval :"));
  Place(*label4_, 840, 2280, 2535, 255);
  label3_ = MakeLabel(this, "Label3", QStringLiteral("Movement threshold :"));
  Place(*label3_, 840, 1680, 2535, 255);
  label2_ = MakeLabel(this, "Label2", QStringLiteral("Maximum angle offset :"));
  Place(*label2_, 840, 1080, 2535, 255);
  label1_ = MakeLabel(this, "Label1", QStringLiteral("Dead zone angle :"));
  Place(*label1_, 840, 480, 2535, 255);
  labelJoyState_ = MakeLabel(this, "Label_JoyState", QString());
  Place(*labelJoyState_, 720, 3240, 6495, 255);

  labelUsbConnect_ = MakeLabel(this, "Label_USBConnect", QStringLiteral("Joystick unconnected"));
  labelUsbConnect_->setFont(WindowFont(12.0));
  QPalette usbPalette = labelUsbConnect_->palette();
  usbPalette.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::WindowText));
  labelUsbConnect_->setPalette(usbPalette);
  SetLabelBackground(*labelUsbConnect_, kUnconnectedColour);
  Place(*labelUsbConnect_, 5760, 360, 2400, 240);
  // It sizes itself to its text from the start, so its state at load is
  // exactly its "not connected" state.
  labelUsbConnect_->adjustSize();

  // Keyboard order by tab index; labels take no focus and hidden controls
  // are passed over.
  QWidget::setTabOrder(cmdWriteEeprom_, lstResults_);
  QWidget::setTabOrder(lstResults_, clear_);
  QWidget::setTabOrder(clear_, cmdExit_);
  QWidget::setTabOrder(cmdExit_, combo1_);
  QWidget::setTabOrder(combo1_, combo2_);
  QWidget::setTabOrder(combo2_, combo3_);
  QWidget::setTabOrder(combo3_, combo4_);
  cmdWriteEeprom_->setFocus();
}

void Mainfrm::BindEvents() {
  connect(cmdWriteEeprom_, &QPushButton::clicked, this,
          [this] { logic_->Cmd_WriteEEPROM_Click(); });
  connect(cmdExit_, &QPushButton::clicked, this, [this] { logic_->Cmd_Exit_Click(); });
  connect(clear_, &QPushButton::clicked, this, [this] { logic_->Clear_Click(); });
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
    cmdWriteEeprom_->setFocus();
  }
  show();
}

void Mainfrm::EndProgram() {
  // No unload handler on this path: the window goes away with the program.
  ended_ = true;
  timer1_->stop();
  hide();
  // Before the message loop has started, main() sees ProgramEnded() instead.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void Mainfrm::closeEvent(QCloseEvent* event) {
  Unload();
  event->accept();
}

void Mainfrm::Unload() {
  if (!ended_) logic_->Form_Unload();
}

}  // namespace trivexa::app
