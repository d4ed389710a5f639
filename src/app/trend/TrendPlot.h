#pragma once

#include "app/trend/TrendTab.h"

#include <QChartView>
#include <array>
#include <functional>
#include <vector>

class QCategoryAxis;
class QGraphicsItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

namespace pm {

class TrendLines;

// The plot of the Trend tab: draws the picture it is given with Qt Charts, time along the bottom
// on round instants, one value axis per unit left and right sharing one grid, a legend with one
// entry per quantity naming its axis, the stretches without readings shaded, and the cursors with
// their read-out. The lines themselves are drawn by a plain item over the plot area, a break at
// every stretch without readings; Qt Charts gives the axes, the grid and the legend. The mouse is
// handed on: the wheel zooms the time (with Ctrl the values), a drag moves along the time, a click
// pins a cursor (or takes a pin away), the right button offers a menu. With the focus, the arrows
// move along the time, up and down along the values, + and - zoom, Home fits and Delete takes the
// pins away.
class TrendPlot : public QChartView {
public:
    explicit TrendPlot(QWidget* parent = nullptr);

    void draw(const TrendPicture& picture);
    // The cursors and the read-out box, without drawing the lines again.
    void showReadout(const TrendReadout& readout);
    // Pixel columns of the plot area: the readings are reduced to at most two per column.
    int columns() const;
    // The plot drawn afresh at `size`, with `title` above it, for a picture file or the printer.
    QImage render(QSize size, const QString& title);
    // Where the mouse is over the plot area, as a time; none when it is elsewhere.
    std::optional<qint64> hoverTime() const { return hover_; }

    // A wheel turn: factor < 1 zooms in, about the time at the mouse.
    std::function<void(double factor, qint64 at)> zoomed;
    // Ctrl and a wheel turn: the values, about `share` of the height (0 at the bottom).
    std::function<void(double factor, double share)> valuesZoomed;
    // Up or Down: the values move by a share of the height (positive shows higher values).
    std::function<void(double share)> valuesPanned;
    // A drag: the time shown moves by msecs (positive shows later readings).
    std::function<void(qint64 msecs)> panned;
    // A click without a drag, at that time; a pin within `reach` of it is the one clicked.
    std::function<void(qint64 at, qint64 reach)> clicked;
    // Delete, or "Clear pinned cursors" in the menu.
    std::function<void()> pinsCleared;
    // The mouse moved over the plot or left it: the read-out wants renewing.
    std::function<void()> hovered;
    // The right button's menu: "Fit", "Reset value axes", a span (its index in the list).
    std::function<void()> fitChosen;
    std::function<void()> resetValuesChosen;
    std::function<void(int span)> spanChosen;
    QStringList spanNames; // the span list's entries, for the menu
    // The plot area changed size: the readings want reducing afresh.
    std::function<void()> resized;

    // The unbroken runs drawn of a quantity, in milliseconds since the epoch and values.
    std::vector<TrendSegment> linesOf(Field f) const;
    QValueAxis* valueAxis(TrendSide side) const { return axes_[size_t(side)]; }
    QCategoryAxis* timeAxis() const { return time_; }
    // Where the read-out box is, in the plot's scene; empty when none is shown.
    QRectF readoutRect() const;
    // The labels of the shaded gaps drawn, and the read-out's lines.
    QStringList gapLabels() const;
    QStringList readoutLines() const { return readoutLines_; }

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineSeries* addLegendEntry(Field f, TrendSide side);
    void setTimeTicks(const std::vector<TimeTick>& ticks);
    void placeOverlays();
    void placeGaps();
    void placeCursors();
    QPointF readoutPlace(QSizeF box) const;
    qint64 timeAt(double x) const;
    double xAt(qint64 msecs) const;

    QCategoryAxis* time_ = nullptr;
    std::array<QValueAxis*, 2> axes_{};
    TrendLines* lines_ = nullptr;
    // An empty series a quantity: its entry in the legend, the lines are drawn by `lines_`.
    std::array<QLineSeries*, kFieldCount> legend_{};
    std::array<TrendSide, kFieldCount> sides_{};
    TrendViewport::Range range_;
    std::vector<TrendShade> gaps_;
    std::vector<QGraphicsItem*> gapItems_;
    std::vector<QGraphicsItem*> cursorItems_;
    QGraphicsSimpleTextItem* readoutText_ = nullptr;
    QGraphicsItem* readoutBox_ = nullptr;
    std::vector<qint64> cursors_;
    QStringList readoutLines_;
    std::optional<qint64> newest_; // the read-out box keeps clear of it
    std::optional<double> pressX_;
    std::optional<double> dragX_;
    std::optional<qint64> hover_;
};

} // namespace pm
