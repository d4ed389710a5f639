#pragma once

#include <QRectF>

class QPainter;

namespace pm {

struct WiringReportContent;

// The as-found report on a landscape page: `page` is the printable area in units of 1/96 inch,
// the painter's units whatever the device (see reportUnits()). Everything is drawn as text and
// lines, so that a PDF of it stays sharp and searchable.
void paintWiringReport(QPainter& p, const QRectF& page, const WiringReportContent& content);

} // namespace pm
