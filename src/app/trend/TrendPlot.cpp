#include "app/trend/TrendPlot.h"

#include "app/style/QuantityColors.h"
#include "app/trend/TrendLines.h"

#include <QCategoryAxis>
#include <QContextMenuEvent>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>

namespace pm {

namespace {
// A wheel notch shows a fifth less (or a quarter more) of the time or the values.
constexpr double kZoomPerNotch = 0.8;
// A press that moves less than this is a click, not a drag.
constexpr double kClickSlop = 3;
const QColor kGapShade(120, 120, 120, 40);
const QColor kGapText(90, 90, 90);
const QColor kHoverLine(80, 80, 80);
const QColor kPinLine(0, 0, 0);
// A click this close to a pin (in pixels) takes it away.
constexpr double kPinReach = 4;
// The read-out box keeps this far (in pixels) to the left of the newest reading.
constexpr double kNewestRoom = 40;
// An arrow key moves the time by this share of the span shown.
constexpr qint64 kArrowShare = 10;

QString axisName(TrendSide side) {
    return side == TrendSide::Left ? QStringLiteral("left") : QStringLiteral("right");
}
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
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus); // the keys move and zoom it once clicked or tabbed to

    time_ = new QCategoryAxis;
    time_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(time_, Qt::AlignBottom);
    axes_[size_t(TrendSide::Left)] = new QValueAxis;
    chart->addAxis(axes_[size_t(TrendSide::Left)], Qt::AlignLeft);
    axes_[size_t(TrendSide::Right)] = new QValueAxis;
    chart->addAxis(axes_[size_t(TrendSide::Right)], Qt::AlignRight);
    for (QValueAxis* axis : axes_) {
        axis->setLabelFormat(QStringLiteral("%.6g"));
        axis->setTickType(QValueAxis::TicksDynamic);
    }
    lines_ = new TrendLines;
    lines_->setZValue(0.5); // over the chart's grid, under the shading of the gaps
    scene()->addItem(lines_);
    connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        lines_->setArea(area);
        placeOverlays();
    });
}

void TrendPlot::draw(const TrendPicture& picture) {
    range_ = picture.range;
    newest_ = picture.newest;
    std::array<const TrendCurve*, kFieldCount> curveOf{};
    for (const TrendCurve& c : picture.curves)
        curveOf[size_t(c.field)] = &c;
    for (int f = 0; f < kFieldCount; ++f) {
        QLineSeries*& entry = legend_[size_t(f)];
        const bool wanted = curveOf[size_t(f)] != nullptr;
        // An entry whose unit moved to the other axis is named afresh.
        if (entry && (!wanted || sides_[size_t(f)] != curveOf[size_t(f)]->side)) {
            chart()->removeSeries(entry);
            delete entry;
            entry = nullptr;
        }
        if (wanted && !entry) {
            sides_[size_t(f)] = curveOf[size_t(f)]->side;
            entry = addLegendEntry(Field(f), sides_[size_t(f)]);
        }
    }
    time_->setRange(double(range_.from), double(range_.to));
    time_->setTitleText(trendTimeTitle(range_.from, range_.to));
    setTimeTicks(picture.ticks);
    const bool leftShown = picture.axes[size_t(TrendSide::Left)].unit.has_value();
    std::array<ValueScale, 2> scales{};
    for (TrendSide side : {TrendSide::Left, TrendSide::Right}) {
        const TrendAxis& a = picture.axes[size_t(side)];
        QValueAxis* axis = axes_[size_t(side)];
        axis->setVisible(a.unit.has_value());
        if (!a.unit)
            continue;
        axis->setTitleText(trendAxisTitle(*a.unit));
        const ValueScale scale = a.scale.drawable() ? a.scale : ValueScale{};
        scales[size_t(side)] = scale;
        // The axis works its ticks out again as soon as its range or its step changes: the step
        // first spans both the old range and the new, so that no state in between has more than
        // a couple of ticks (3.4e38 volts on a step of 50 would never end).
        axis->setTickInterval(std::max(axis->max() - axis->min(), scale.max - scale.min));
        axis->setRange(scale.min, scale.max);
        axis->setTickAnchor(scale.anchor);
        axis->setTickInterval(scale.step);
        // One set of grid lines: the right axis's ticks sit on the left one's.
        axis->setGridLineVisible(side == TrendSide::Left || !leftShown);
    }
    lines_->setCurves(picture.curves, range_, scales);
    gaps_ = picture.gaps;
    placeGaps();
}

void TrendPlot::setTimeTicks(const std::vector<TimeTick>& ticks) {
    for (const QString& label : time_->categoriesLabels())
        time_->remove(label);
    time_->setStartValue(double(range_.from));
    QStringList used;
    for (const TimeTick& t : ticks) {
        // The axis wants each label once; the same hour on two days differs by an invisible mark.
        QString label = t.label;
        while (used.contains(label))
            label += QChar(0x200B);
        used << label;
        time_->append(label, double(t.msecs));
    }
}

void TrendPlot::showReadout(const TrendReadout& readout) {
    cursors_ = readout.cursors;
    readoutLines_ = readout.lines;
    placeCursors();
}

double TrendPlot::xAt(qint64 msecs) const {
    const QRectF area = chart()->plotArea();
    const double length = std::max<double>(double(range_.length()), 1);
    return area.left() + double(msecs - range_.from) / length * area.width();
}

void TrendPlot::placeOverlays() {
    placeGaps();
    placeCursors();
}

void TrendPlot::placeGaps() {
    for (QGraphicsItem* item : gapItems_)
        delete item;
    gapItems_.clear();
    const QRectF area = chart()->plotArea();
    if (area.width() <= 0 || area.height() <= 0)
        return;
    // A label needs at least its line's height across; narrower gaps, the many of a week seen
    // whole, are shaded without measuring any text.
    const double lineHeight = QFontMetricsF(QGraphicsSimpleTextItem().font()).height();
    for (const TrendShade& g : gaps_) {
        const double left = std::max(area.left(), xAt(g.gap.from));
        const double right = std::min(area.right(), xAt(g.gap.to));
        if (right <= left)
            continue;
        auto* shade =
            scene()->addRect(QRectF(left, area.top(), std::max(right - left, 1.0), area.height()),
                             Qt::NoPen, kGapShade);
        shade->setZValue(1);
        gapItems_.push_back(shade);
        if (lineHeight > right - left + 4)
            continue;
        auto* text = new QGraphicsSimpleTextItem(g.label);
        text->setBrush(kGapText);
        const QRectF size = text->boundingRect();
        // Along the gap when it is wide enough, up its side when it is tall enough, else not.
        if (size.width() + 6 <= right - left) {
            text->setPos(left + (right - left - size.width()) / 2, area.top() + 4);
        } else if (size.width() + 6 <= area.height() && size.height() <= right - left + 4) {
            text->setRotation(-90);
            text->setPos(left + (right - left - size.height()) / 2, area.top() + 4 + size.width());
        } else {
            delete text;
            continue;
        }
        text->setZValue(2);
        scene()->addItem(text);
        gapItems_.push_back(text);
    }
}

void TrendPlot::placeCursors() {
    for (QGraphicsItem* item : cursorItems_)
        delete item;
    cursorItems_.clear();
    delete readoutBox_; // the text goes with its box
    readoutBox_ = nullptr;
    readoutText_ = nullptr;
    const QRectF area = chart()->plotArea();
    if (area.width() <= 0 || area.height() <= 0)
        return;

    std::size_t k = 0;
    for (qint64 t : cursors_) {
        const double x = xAt(t);
        if (x < area.left() - 0.5 || x > area.right() + 0.5)
            continue;
        // The first cursor follows the mouse unless only pins are left.
        QPen pen(k == 0 && hover_ ? kHoverLine : kPinLine, 1);
        if (k == 0 && hover_)
            pen.setStyle(Qt::DashLine);
        auto* line = scene()->addLine(QLineF(x, area.top(), x, area.bottom()), pen);
        line->setZValue(3);
        cursorItems_.push_back(line);
        ++k;
    }
    if (readoutLines_.isEmpty())
        return;
    auto* box = scene()->addRect(QRectF(), QPen(QColor(160, 160, 160)), QColor(255, 255, 255, 230));
    auto* text = new QGraphicsSimpleTextItem(readoutLines_.join(QLatin1Char('\n')), box);
    const QRectF size = text->boundingRect().adjusted(-4, -3, 4, 3);
    box->setRect(QRectF(QPointF(0, 0), size.size()));
    text->setPos(4, 3);
    box->setPos(readoutPlace(size.size()));
    box->setZValue(4);
    readoutBox_ = box;
    readoutText_ = text;
}

QPointF TrendPlot::readoutPlace(QSizeF box) const {
    const QRectF area = chart()->plotArea();
    const double top = area.top() + 4;
    // Beside the first cursor, on the side with room, but never over the newest readings: they
    // are what the user watches come in.
    std::vector<double> lefts;
    if (!cursors_.empty()) {
        const double x = xAt(cursors_.front());
        lefts = {x + 8, x - 8 - box.width()};
    }
    lefts.push_back(area.left() + 4);
    const std::optional<double> newest =
        newest_ ? std::optional<double>(xAt(*newest_)) : std::nullopt;
    if (newest)
        lefts.push_back(*newest + 8);
    for (double left : lefts) {
        const bool inside = left >= area.left() && left + box.width() <= area.right();
        const bool clear =
            !newest || left > *newest + 2 || left + box.width() < *newest - kNewestRoom;
        if (inside && clear)
            return {left, top};
    }
    // A plot too narrow for the box beside the newest readings: the box goes to the bottom.
    return {area.left() + 4, std::max(top, area.bottom() - box.height() - 4)};
}

QRectF TrendPlot::readoutRect() const {
    return readoutBox_ ? readoutBox_->sceneBoundingRect() : QRectF();
}

QStringList TrendPlot::gapLabels() const {
    QStringList labels;
    for (QGraphicsItem* item : gapItems_)
        if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            labels << text->text();
    return labels;
}

int TrendPlot::columns() const {
    const int width = int(chart()->plotArea().width());
    // Before the first layout the plot area is empty: the widget's width is near enough.
    return width > 0 ? width : std::max(this->width(), 1);
}

QImage TrendPlot::render(QSize size, const QString& title) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The title in the plot's own font, grown with the picture.
    QFont font = this->font();
    const double grow = double(size.width()) / std::max(width(), 1);
    font.setPointSizeF(font.pointSizeF() * grow);
    painter.setFont(font);
    const int titleHeight = int(painter.fontMetrics().height() * 1.6);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, size.width(), titleHeight), Qt::AlignCenter, title);
    // The chart laid out afresh in the shape of the picture (a landscape page is wider than the
    // plot on the screen), at the width it has on the screen so its lettering keeps its size.
    const QRectF target(0, titleHeight, size.width(), size.height() - titleHeight);
    const QSizeF shown = chart()->size();
    const QSizeF shape(shown.width(), shown.width() * target.height() / target.width());
    const bool reshape = std::abs(shape.height() - shown.height()) > 1;
    if (reshape) {
        chart()->resize(shape);
        chart()->layout()->activate();
    }
    // The read-out and the line under the mouse belong to the screen, not to a saved picture;
    // pinned cursors stay.
    std::vector<QGraphicsItem*> hidden;
    if (readoutBox_)
        hidden.push_back(readoutBox_);
    if (hover_ && !cursorItems_.empty())
        hidden.push_back(cursorItems_.front());
    for (QGraphicsItem* item : hidden)
        item->hide();
    scene()->render(&painter, target, QRectF(QPointF(0, 0), chart()->size()), Qt::KeepAspectRatio);
    for (QGraphicsItem* item : hidden)
        item->show();
    if (reshape) {
        chart()->resize(shown);
        chart()->layout()->activate();
    }
    return image;
}

QLineSeries* TrendPlot::addLegendEntry(Field f, TrendSide side) {
    auto* s = new QLineSeries;
    // The legend names the axis a quantity is read on; the dashes mean a current, as on the
    // phasor diagram.
    s->setName(QStringLiteral("%1 (%2)").arg(trendName(f), axisName(side)));
    QPen pen(quantityColor(f), 1);
    pen.setStyle(quantityLineStyle(f));
    s->setPen(pen);
    chart()->addSeries(s);
    s->attachAxis(time_);
    s->attachAxis(axes_[size_t(side)]);
    return s;
}

std::vector<TrendSegment> TrendPlot::linesOf(Field f) const {
    for (const TrendCurve& c : lines_->curves())
        if (c.field == f)
            return c.segments;
    return {};
}

qint64 TrendPlot::timeAt(double x) const {
    const QRectF area = chart()->plotArea();
    const double share = area.width() > 0 ? (x - area.left()) / area.width() : 0.5;
    return range_.from + qint64(std::llround(share * double(range_.length())));
}

void TrendPlot::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    const QPointF at = mapToScene(event->position().toPoint());
    if (notches != 0 && event->modifiers().testFlag(Qt::ControlModifier)) {
        const QRectF area = chart()->plotArea();
        const double share = area.height() > 0 ? (area.bottom() - at.y()) / area.height() : 0.5;
        if (valuesZoomed)
            valuesZoomed(std::pow(kZoomPerNotch, notches), share);
    } else if (notches != 0 && zoomed) {
        zoomed(std::pow(kZoomPerNotch, notches), timeAt(at.x()));
    }
    event->accept();
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressX_ = event->position().x();
        dragX_.reset();
    }
    event->accept();
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    const QRectF area = chart()->plotArea();
    const QPointF at = mapToScene(event->position().toPoint());
    if (pressX_ && (dragX_ || std::abs(event->position().x() - *pressX_) > kClickSlop)) {
        const double from = dragX_.value_or(*pressX_);
        const double dx = event->position().x() - from;
        dragX_ = event->position().x();
        // Dragging to the right brings earlier readings into view.
        const auto msecs = area.width() > 0
                               ? qint64(std::llround(-dx * double(range_.length()) / area.width()))
                               : 0;
        if (msecs != 0 && panned)
            panned(msecs);
        event->accept();
        return;
    }
    const std::optional<qint64> before = hover_;
    hover_.reset();
    if (area.contains(at))
        hover_ = timeAt(at.x());
    if ((hover_ || before) && hovered)
        hovered();
    event->accept();
}

void TrendPlot::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressX_ && !dragX_ && event->button() == Qt::LeftButton;
    pressX_.reset();
    dragX_.reset();
    const QPointF at = mapToScene(event->position().toPoint());
    if (click && chart()->plotArea().contains(at) && clicked)
        clicked(timeAt(at.x()), timeAt(at.x() + kPinReach) - timeAt(at.x()));
    event->accept();
}

void TrendPlot::leaveEvent(QEvent* event) {
    QChartView::leaveEvent(event);
    if (hover_) {
        hover_.reset();
        if (hovered)
            hovered();
    }
}

void TrendPlot::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("TrendMenu"));
    menu.addAction(QStringLiteral("Fit"), this, [this] {
        if (fitChosen)
            fitChosen();
    });
    menu.addAction(QStringLiteral("Reset value axes"), this, [this] {
        if (resetValuesChosen)
            resetValuesChosen();
    });
    menu.addAction(QStringLiteral("Clear pinned cursors"), this, [this] {
        if (pinsCleared)
            pinsCleared();
    });
    menu.addSeparator();
    for (int k = 0; k < spanNames.size(); ++k)
        menu.addAction(spanNames[k], this, [this, k] {
            if (spanChosen)
                spanChosen(k);
        });
    menu.exec(event->globalPos());
    event->accept();
}

void TrendPlot::keyPressEvent(QKeyEvent* event) {
    const qint64 step = std::max<qint64>(range_.length() / kArrowShare, 1);
    const qint64 middle = range_.from + range_.length() / 2;
    switch (event->key()) {
    case Qt::Key_Left:
        if (panned)
            panned(-step);
        break;
    case Qt::Key_Right:
        if (panned)
            panned(step);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (valuesPanned)
            valuesPanned(event->key() == Qt::Key_Up ? 1.0 / kArrowShare : -1.0 / kArrowShare);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift on most keyboards
        if (zoomed)
            zoomed(kZoomPerNotch, middle);
        break;
    case Qt::Key_Minus:
        if (zoomed)
            zoomed(1 / kZoomPerNotch, middle);
        break;
    case Qt::Key_Home:
        if (fitChosen)
            fitChosen();
        break;
    case Qt::Key_Delete:
        if (pinsCleared)
            pinsCleared();
        break;
    default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrendPlot::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    if (resized)
        resized();
}

} // namespace pm
