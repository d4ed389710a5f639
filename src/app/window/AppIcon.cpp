#include "app/window/AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource lives in a static library: nothing would pull it into the program otherwise.
static void loadIconResource() {
    Q_INIT_RESOURCE(phasemeter);
}

namespace pm {

QIcon appIcon() {
    loadIconResource();
    // Drawn here rather than through Qt's SVG icon plugin, which a system may lack.
    QSvgRenderer svg(QStringLiteral(":/phasemeter.svg"));
    QIcon icon;
    if (!svg.isValid())
        return icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace pm
