#include "app/qt/window_icon.h"

#include <QDir>
#include <QLibraryInfo>
#include <QSize>
#include <QString>

// Resources of a static library are registered only when asked for; the
// macro must not stand inside a namespace.
static void InitWindowIcons() { Q_INIT_RESOURCE(window_icons); }

namespace trivexa::app {

QIcon MakeWindowIcon() {
  const QString name = QStringLiteral("io.github.trivexa.Trivexa");
  // An installed copy finds its icon in the theme; the built-in images are
  // read only when it does not (Qt decodes them as they are added).
  if (QIcon themed = QIcon::fromTheme(name); !themed.isNull()) return themed;
  InitWindowIcons();
  QIcon bundled;
  // Each image for its own size (Qt reads each one as it is added).
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    bundled.addFile(QStringLiteral(":/icons/io.github.trivexa.Trivexa-%1.png").arg(size),
                    QSize(size, size));
  }
  // Asking Qt's image readers would load every image plugin at start-up;
  // whether the SVG icon engine is installed is one look into a folder.
  const QDir engines(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                     QStringLiteral("/iconengines"));
  if (!engines.entryList({QStringLiteral("*svg*")}, QDir::Files).isEmpty()) {
    bundled.addFile(QStringLiteral(":/icons/io.github.trivexa.Trivexa.svg"));
  }
  return bundled;
}

}  // namespace trivexa::app
