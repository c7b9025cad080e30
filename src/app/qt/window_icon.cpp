#include "app/qt/window_icon.h"

#include <QByteArray>
#include <QImageReader>
#include <QSize>
#include <QString>

namespace trivexa::app {

QIcon MakeWindowIcon() {
  QIcon bundled;
  // Sizes given, so that no image is read before it is drawn.
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    bundled.addFile(QStringLiteral(":/icons/io.github.trivexa.Trivexa-%1.png").arg(size),
                    QSize(size, size));
  }
  if (QImageReader::supportedImageFormats().contains(QByteArrayLiteral("svg"))) {
    bundled.addFile(QStringLiteral(":/icons/io.github.trivexa.Trivexa.svg"));
  }
  return QIcon::fromTheme(QStringLiteral("io.github.trivexa.Trivexa"), bundled);
}

}  // namespace trivexa::app
