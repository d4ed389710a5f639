#pragma once

#include "app/trend/TrendTab.h"

#include <QChartView>
#include <array>
#include <functional>
#include <vector>

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace pm {

// The plot of the Trend tab: draws the picture it is given with Qt Charts, time along the bottom,
// one value axis per unit left and right, and a legend with one entry per quantity. A line series
// cannot break, so each unbroken run of a quantity is a series of its own; only the first of them
// shows in the legend. The wheel and dragging are handed on as a zoom and a pan of the time.
class TrendPlot : public QChartView {
public:
    explicit TrendPlot(QWidget* parent = nullptr);

    void draw(const TrendPicture& picture);
    // Pixel columns of the plot area: the readings are reduced to at most two per column.
    int columns() const;
    // The plot drawn afresh at `size`, for a picture file or the printer.
    QImage render(QSize size);

    // A wheel turn: factor < 1 zooms in, about the time at the mouse.
    std::function<void(double factor, qint64 at)> zoomed;
    // A drag: the time shown moves by msecs (positive shows later readings).
    std::function<void(qint64 msecs)> panned;
    // The plot area changed size: the readings want reducing afresh.
    std::function<void()> resized;

    // The series that draw a quantity: one per unbroken run, at least one for its legend entry.
    const std::vector<QLineSeries*>& seriesOf(Field f) const { return series_[size_t(f)]; }
    QValueAxis* valueAxis(TrendSide side) const { return axes_[size_t(side)]; }
    QDateTimeAxis* timeAxis() const { return time_; }

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineSeries* addSeries(Field f, TrendSide side, bool inLegend);
    void dropSeries(Field f, std::size_t keep);
    qint64 timeAt(double x) const;

    QDateTimeAxis* time_ = nullptr;
    std::array<QValueAxis*, 2> axes_{};
    std::array<std::vector<QLineSeries*>, kFieldCount> series_;
    std::array<TrendSide, kFieldCount> sides_{};
    TrendViewport::Range range_;
    std::optional<double> dragX_;
};

} // namespace pm
