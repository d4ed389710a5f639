#pragma once

#include "app/trend/TrendTab.h"

#include <QGraphicsItem>
#include <array>
#include <vector>

namespace pm {

// The lines of the plotted quantities, drawn straight onto the plot area. A chart's line series
// works out the outline of its whole line for the mouse each time its points change, which on a
// week of readings took most of a wheel step; these lines only take the points to the pixels they
// fall on when painted. Each unbroken run of a quantity is a line of its own.
class TrendLines : public QGraphicsItem {
public:
    void setArea(const QRectF& area);
    // The curves and the scales they are read on: time along, values up.
    void setCurves(std::vector<TrendCurve> curves, TrendViewport::Range range,
                   const std::array<ValueScale, 2>& scales);
    const std::vector<TrendCurve>& curves() const { return curves_; }

    QRectF boundingRect() const override { return area_; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QRectF area_;
    std::vector<TrendCurve> curves_;
    TrendViewport::Range range_;
    std::array<ValueScale, 2> scales_{};
    QPolygonF pixels_; // reused from one paint to the next
};

} // namespace pm
