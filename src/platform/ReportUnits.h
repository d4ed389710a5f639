#pragma once

#include <QRectF>

class QPainter;

namespace pm {

// Reports are drawn in units of 1/96 inch, the size of a pixel on the screen, with fonts sized in
// those units: the same drawing fills a page alike on a screen picture, a PDF and any printer.
inline constexpr double kReportUnitsPerInch = 96;

// Scales a painter that has begun on its device to report units; gives `area`, in the device's
// own pixels, in report units.
QRectF reportUnits(QPainter& p, const QRectF& area);

} // namespace pm
