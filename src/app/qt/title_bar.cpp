#include "app/qt/title_bar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "app/qt/accessibility.h"

namespace trivexa::app {
namespace {

constexpr int kMargin = 6;
constexpr int kIconSize = 22;
constexpr int kCloseSize = 22;
constexpr int kTitlePixels = 14;

QColor TextColour(const QWidget& bar) {
  return QApplication::palette().color(bar.isActiveWindow() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText);
}

// The close box: a cross, on a red disc while the pointer is over it.
class CloseBox final : public QAbstractButton {
 public:
  explicit CloseBox(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("TitleBarClose"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(QApplication::translate("TitleBar", "Close"));
    setToolTip(accessibleName());
    setFixedSize(kCloseSize, kCloseSize);
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor cross = TextColour(*this);
    if (underMouse() || isDown()) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(isDown() ? QColor(196, 43, 28) : QColor(232, 17, 35));
      painter.drawEllipse(rect().adjusted(1, 1, -1, -1));
      cross = Qt::white;
    }
    QPen pen(cross);
    pen.setWidthF(1.6);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF box = QRectF(rect()).adjusted(7, 7, -7, -7);
    painter.drawLine(box.topLeft(), box.bottomRight());
    painter.drawLine(box.bottomLeft(), box.topRight());
  }
};

}  // namespace

WindowFrame FrameForThisDisplay() {
  const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  const bool decorationsOff = qEnvironmentVariableIsSet("QT_WAYLAND_DISABLE_WINDOWDECORATION");
  return wayland && !decorationsOff ? WindowFrame::kOwnTitleBar : WindowFrame::kSystem;
}

TitleBar::TitleBar(QWidget& window) : QWidget(&window), close_(new CloseBox(this)) {
  setObjectName(QStringLiteral("TitleBar"));
  setFocusPolicy(Qt::NoFocus);
  SetTitleBarRole(*this);
  connect(close_, &QAbstractButton::clicked, &window, &QWidget::close);
  setGeometry(0, 0, window.width(), kHeight);
  // A dialog sizes itself when it is shown: the bar follows its width.
  window.installEventFilter(this);
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) {
    setGeometry(0, 0, parentWidget()->width(), kHeight);
  }
  return QWidget::eventFilter(watched, event);
}

void TitleBar::resizeEvent(QResizeEvent* /*event*/) {
  close_->move(width() - kMargin - kCloseSize, (kHeight - kCloseSize) / 2);
}

void TitleBar::changeEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ActivationChange:
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
      update();
      close_->update();
      break;
    default:
      break;
  }
  QWidget::changeEvent(event);
}

void TitleBar::paintEvent(QPaintEvent* /*event*/) {
  const QPalette system = QApplication::palette();
  QPainter painter(this);
  painter.fillRect(rect(), system.color(QPalette::Window));
  painter.setPen(system.color(QPalette::Mid));
  painter.drawLine(0, height() - 1, width() - 1, height() - 1);

  const QIcon icon = window()->windowIcon();
  if (!icon.isNull()) {
    icon.paint(&painter, QRect(kMargin, (kHeight - kIconSize) / 2, kIconSize, kIconSize));
  }
  // Centred on the bar as a whole, kept clear of the icon and the close box.
  const int side = kMargin + kIconSize + kMargin;
  // The desktop's own font, as in a system title bar, not the window's.
  QFont font = QApplication::font();
  font.setPixelSize(kTitlePixels);
  painter.setFont(font);
  painter.setPen(TextColour(*this));
  painter.drawText(QRect(side, 0, width() - 2 * side, kHeight - 1), Qt::AlignCenter,
                   painter.fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight,
                                                    width() - 2 * side));
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
  // The compositor moves the window: a Wayland client cannot place itself.
  if (event->button() == Qt::LeftButton && window()->windowHandle() != nullptr) {
    window()->windowHandle()->startSystemMove();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void GiveOwnTitleBar(QDialog& dialog) {
  dialog.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  const QMargins margins = dialog.contentsMargins();
  dialog.setContentsMargins(margins.left(), margins.top() + TitleBar::kHeight, margins.right(),
                            margins.bottom());
  new TitleBar(dialog);
}

}  // namespace trivexa::app
