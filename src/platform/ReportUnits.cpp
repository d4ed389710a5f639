#include "platform/ReportUnits.h"

#include <QPaintDevice>
#include <QPainter>

namespace pm {

QRectF reportUnits(QPainter& p, const QRectF& area) {
    const double sx = p.device()->logicalDpiX() / kReportUnitsPerInch;
    const double sy = p.device()->logicalDpiY() / kReportUnitsPerInch;
    p.scale(sx, sy);
    return {area.left() / sx, area.top() / sy, area.width() / sx, area.height() / sy};
}

} // namespace pm
