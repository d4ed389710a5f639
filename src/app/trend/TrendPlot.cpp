#include "app/trend/TrendPlot.h"

#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>

namespace pm {

namespace {
// A wheel notch shows a fifth less (or a quarter more) of the time.
constexpr double kZoomPerNotch = 0.8;
// About one time label per this many pixels.
constexpr int kPixelsPerTimeLabel = 110;
} // namespace

TrendPlot::TrendPlot(QWidget* parent) : QChartView(parent) {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignTop);
    // A sample of each line, solid or dashed, not just its colour: U1 and I1 share channel 1's.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    chart->setMargins(QMargins(2, 2, 2, 2));
    setChart(chart);
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::NoRubberBand);

    time_ = new QDateTimeAxis;
    chart->addAxis(time_, Qt::AlignBottom);
    axes_[size_t(TrendSide::Left)] = new QValueAxis;
    chart->addAxis(axes_[size_t(TrendSide::Left)], Qt::AlignLeft);
    axes_[size_t(TrendSide::Right)] = new QValueAxis;
    chart->addAxis(axes_[size_t(TrendSide::Right)], Qt::AlignRight);
    for (QValueAxis* axis : axes_)
        axis->setLabelFormat(QStringLiteral("%.5g"));
}

void TrendPlot::draw(const TrendPicture& picture) {
    range_ = picture.range;
    std::array<const TrendCurve*, kFieldCount> curveOf{};
    for (const TrendCurve& c : picture.curves)
        curveOf[size_t(c.field)] = &c;
    for (int f = 0; f < kFieldCount; ++f)
        if (!curveOf[size_t(f)])
            dropSeries(Field(f), 0);

    for (const TrendCurve& c : picture.curves) {
        auto& series = series_[size_t(c.field)];
        if (!series.empty() && sides_[size_t(c.field)] != c.side)
            dropSeries(c.field, 0); // its unit moved to the other axis
        sides_[size_t(c.field)] = c.side;
        const std::size_t wanted = std::max<std::size_t>(c.segments.size(), 1);
        dropSeries(c.field, wanted);
        while (series.size() < wanted)
            addSeries(c.field, c.side, series.empty());
        for (std::size_t k = 0; k < wanted; ++k) {
            if (k < c.segments.size())
                series[k]->replace(QList<QPointF>(c.segments[k].begin(), c.segments[k].end()));
            else
                series[k]->clear();
        }
    }

    time_->setRange(QDateTime::fromMSecsSinceEpoch(range_.from),
                    QDateTime::fromMSecsSinceEpoch(range_.to));
    time_->setFormat(trendTimeFormat(range_.length()));
    time_->setTitleText(trendTimeTitle(range_.from, range_.to));
    time_->setTickCount(std::clamp(columns() / kPixelsPerTimeLabel + 1, 2, 10));
    for (TrendSide side : {TrendSide::Left, TrendSide::Right}) {
        const TrendAxis& a = picture.axes[size_t(side)];
        QValueAxis* axis = axes_[size_t(side)];
        axis->setVisible(a.unit.has_value());
        if (!a.unit)
            continue;
        axis->setTitleText(trendAxisTitle(*a.unit));
        axis->setRange(a.min, a.max);
        axis->applyNiceNumbers();
    }
}

int TrendPlot::columns() const {
    const int width = int(chart()->plotArea().width());
    // Before the first layout the plot area is empty: the widget's width is near enough.
    return width > 0 ? width : std::max(this->width(), 1);
}

QImage TrendPlot::render(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), sceneRect(),
                    Qt::KeepAspectRatio);
    return image;
}

QLineSeries* TrendPlot::addSeries(Field f, TrendSide side, bool inLegend) {
    auto* s = new QLineSeries;
    s->setName(trendName(f));
    // Solid on the left axis, dashed on the right: which axis a line reads against.
    QPen pen(trendColor(f), 1.5);
    pen.setStyle(side == TrendSide::Left ? Qt::SolidLine : Qt::DashLine);
    s->setPen(pen);
    chart()->addSeries(s);
    s->attachAxis(time_);
    s->attachAxis(axes_[size_t(side)]);
    if (!inLegend)
        for (QLegendMarker* m : chart()->legend()->markers(s))
            m->setVisible(false);
    series_[size_t(f)].push_back(s);
    return s;
}

void TrendPlot::dropSeries(Field f, std::size_t keep) {
    auto& series = series_[size_t(f)];
    while (series.size() > keep) {
        chart()->removeSeries(series.back());
        delete series.back();
        series.pop_back();
    }
}

qint64 TrendPlot::timeAt(double x) const {
    const QRectF area = chart()->plotArea();
    const double share = area.width() > 0 ? (x - area.left()) / area.width() : 0.5;
    return range_.from + qint64(std::llround(share * double(range_.length())));
}

void TrendPlot::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0 && zoomed)
        zoomed(std::pow(kZoomPerNotch, notches),
               timeAt(mapToScene(event->position().toPoint()).x()));
    event->accept();
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragX_ = event->position().x();
    event->accept();
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    const QRectF area = chart()->plotArea();
    if (!dragX_ || area.width() <= 0)
        return;
    const double dx = event->position().x() - *dragX_;
    dragX_ = event->position().x();
    // Dragging to the right brings earlier readings into view.
    const auto msecs = qint64(std::llround(-dx * double(range_.length()) / area.width()));
    if (msecs != 0 && panned)
        panned(msecs);
    event->accept();
}

void TrendPlot::mouseReleaseEvent(QMouseEvent* event) {
    dragX_.reset();
    event->accept();
}

void TrendPlot::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    if (resized)
        resized();
}

} // namespace pm
