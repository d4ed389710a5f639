#include "app/trend/TrendLines.h"

#include "app/style/QuantityColors.h"

#include <QPainter>
#include <algorithm>

namespace pm {

namespace {
// How far off the plot, in pixels, a point is drawn at most.
constexpr double kOffPlot = 1e5;
} // namespace

void TrendLines::setArea(const QRectF& area) {
    if (area == area_)
        return;
    prepareGeometryChange();
    area_ = area;
}

void TrendLines::setCurves(std::vector<TrendCurve> curves, TrendViewport::Range range,
                           const std::array<ValueScale, 2>& scales) {
    curves_ = std::move(curves);
    range_ = range;
    scales_ = scales;
    update();
}

void TrendLines::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    if (area_.isEmpty())
        return;
    painter->setClipRect(area_);
    const double across = area_.width() / std::max<double>(double(range_.length()), 1);
    const double from = double(range_.from);
    for (const TrendCurve& c : curves_) {
        const ValueScale& scale = scales_[size_t(c.side)];
        const double up = area_.height() / std::max(scale.max - scale.min, 1e-12);
        // A thin line: the raster engine draws it without working out an outline, thousands of
        // points a frame. The dashes mean a current, as on the phasor diagram.
        QPen pen(quantityColor(c.field), 1);
        pen.setStyle(quantityLineStyle(c.field));
        painter->setPen(pen);
        for (const TrendSegment& segment : c.segments) {
            pixels_.resize(qsizetype(segment.size()));
            std::transform(segment.begin(), segment.end(), pixels_.begin(), [&](QPointF p) {
                // A value far off a zoomed axis would put a point light-years away, which the
                // painter chops into dashes without end; held a little way off the plot, the
                // part of the line that shows keeps its slope to within a hair.
                const double y = area_.bottom() - (p.y() - scale.min) * up;
                return QPointF(area_.left() + (p.x() - from) * across,
                               std::clamp(y, area_.top() - kOffPlot, area_.bottom() + kOffPlot));
            });
            if (pixels_.size() == 1)
                painter->drawPoint(pixels_.front());
            else
                painter->drawPolyline(pixels_);
        }
    }
}

} // namespace pm
