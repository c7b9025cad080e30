#include "app/qt/window_icon.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>

namespace trivexa::app {

QPixmap JoystickPixmap() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);

  // Base: a dark rounded block with a lighter top face.
  painter.setPen(QPen(QColor(40, 40, 48), 1.0));
  painter.setBrush(QColor(70, 70, 84));
  painter.drawRoundedRect(QRectF(3.5, 21.5, 25, 8), 3, 3);
  painter.setBrush(QColor(120, 120, 140));
  painter.drawEllipse(QRectF(9.5, 19.5, 13, 5));

  // Fire button on the base.
  painter.setBrush(QColor(255, 192, 255));
  painter.drawEllipse(QRectF(22.5, 23, 4, 3));

  // Stick, leaning a little to the right.
  painter.setPen(QPen(QColor(30, 30, 30), 3.0, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(16, 22), QPointF(19, 10));

  // Knob with a highlight.
  painter.setPen(QPen(QColor(120, 0, 0), 1.0));
  painter.setBrush(QColor(230, 20, 20));
  painter.drawEllipse(QRectF(14, 2.5, 10, 10));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 170, 170));
  painter.drawEllipse(QRectF(16.5, 4.5, 3.5, 3));
  painter.end();
  return pixmap;
}

QIcon MakeWindowIcon() { return QIcon(JoystickPixmap()); }

}  // namespace trivexa::app
