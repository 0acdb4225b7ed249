#include "gui/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resources live in a static library: nothing would pull them into the program otherwise.
static void InitIconResource() { Q_INIT_RESOURCE(qv31_config); }

namespace qv31 {

QIcon AppIcon() {
  InitIconResource();
  // Rendered here rather than through the SVG icon plugin, so the program needs no plugin.
  QSvgRenderer svg(QStringLiteral(":/icons/qv31-config.svg"));
  QIcon icon;
  if (!svg.isValid()) return icon;
  for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace qv31
