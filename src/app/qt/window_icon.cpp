#include "app/qt/window_icon.h"

#include <QByteArray>
#include <QImageReader>
#include <QSize>
#include <QString>

// Resources of a static library are registered only when asked for; the
// macro must not stand inside a namespace.
static void InitWindowIcons() { Q_INIT_RESOURCE(window_icons); }

namespace trivexa::app {

QIcon MakeWindowIcon() {
  InitWindowIcons();
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
