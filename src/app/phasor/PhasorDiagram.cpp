#include "app/phasor/PhasorDiagram.h"

#include "app/phasor/PhasorGeometry.h"
#include "app/style/QuantityColors.h"
#include "protocol/Fmtval.h"

#include <QPainter>
#include <QPainterPath>
#include <QVector>
#include <algorithm>
#include <cmath>

namespace pm {

namespace {

constexpr double kArrowHead = 12;
constexpr double kArrowHalfWidth = 5;
constexpr double kPenWidth = 3;
const QColor kGrid(190, 190, 190);
const QColor kText(40, 40, 40);

QPen phasorPen(const PhasorArrow& a) {
    QPen pen(PhasorDiagram::channelColor(a.channel), kPenWidth);
    pen.setCapStyle(Qt::FlatCap);
    if (a.current)
        pen.setDashPattern({4, 2});
    return pen;
}

double radiusOf(const PhasorArrow& a, const PhasorLayout& l) {
    return a.length * (a.current ? l.currentRadius : l.voltageRadius);
}

void drawArrow(QPainter& p, const PhasorArrow& a, const PhasorLayout& l) {
    const double len = radiusOf(a, l);
    const QPointF dir = endPoint(a.angle, 1);
    const QPointF tip = l.centre + dir * len;
    const double head = std::min(kArrowHead, len / 2);
    const QPointF base = l.centre + dir * (len - head);
    const QPointF across(-dir.y(), dir.x());

    p.setPen(phasorPen(a));
    p.drawLine(l.centre, base);
    const double half = kArrowHalfWidth * head / kArrowHead;
    p.setPen(Qt::NoPen);
    p.setBrush(PhasorDiagram::channelColor(a.channel));
    p.drawPolygon(QPolygonF{tip, base + across * half, base - across * half});
    p.setBrush(Qt::NoBrush);
}

// A label box touching `anchor` on the side facing away from the centre along `dir`.
QRectF labelBox(QPointF anchor, QPointF dir, QSizeF size) {
    QRectF r(QPointF(), size);
    const double threshold = 0.35;
    if (dir.x() > threshold)
        r.moveLeft(anchor.x());
    else if (dir.x() < -threshold)
        r.moveRight(anchor.x());
    else
        r.moveLeft(anchor.x() - size.width() / 2);
    if (dir.y() > threshold)
        r.moveTop(anchor.y());
    else if (dir.y() < -threshold)
        r.moveBottom(anchor.y());
    else
        r.moveTop(anchor.y() - size.height() / 2);
    return r;
}

// Moves a box up or down, nearest first, until it overlaps none of the boxes already placed and
// stays inside `bounds`; phasors pointing the same way would otherwise print over each other.
QRectF freePlace(QRectF box, const QVector<QRectF>& taken, const QRectF& bounds) {
    box.moveLeft(std::max(bounds.left(), std::min(box.left(), bounds.right() - box.width())));
    for (int step = 0; step < 24; ++step) {
        const double shift = (step % 2 ? -1 : 1) * ((step + 1) / 2) * box.height();
        const QRectF tried = box.translated(0, shift);
        if (!bounds.contains(tried))
            continue;
        if (std::none_of(taken.begin(), taken.end(),
                         [&tried](const QRectF& t) { return t.intersects(tried); }))
            return tried;
    }
    return box;
}

void drawScales(QPainter& p, const PhasorLayout& l, QVector<QRectF>& taken) {
    p.setPen(QPen(kGrid, 1));
    p.drawEllipse(l.centre, l.voltageRadius, l.voltageRadius);
    QPen dashed(kGrid, 1);
    dashed.setDashPattern({4, 3});
    p.setPen(dashed);
    p.drawEllipse(l.centre, l.currentRadius, l.currentRadius);
    p.setPen(QPen(kGrid, 1));
    const double reach = l.voltageRadius + 6;
    p.drawLine(l.centre - QPointF(reach, 0), l.centre + QPointF(reach, 0));
    p.drawLine(l.centre - QPointF(0, reach), l.centre + QPointF(0, reach));

    // The direction marks show which way the angles run.
    const QFontMetricsF fm(p.font());
    for (int deg : {0, 90, 180, 270}) {
        const QString text = QString::number(deg) + QStringLiteral("\u00B0");
        const QPointF dir = endPoint(deg, 1);
        QRectF box = labelBox(l.centre + dir * (reach + 2), dir, fm.size(0, text));
        if (deg == 0 || deg == 180)
            box.moveBottom(l.centre.y() - 2); // above the axis, clear of a phasor along it
        p.drawText(box, Qt::AlignCenter, text);
        taken << box;
    }
}

void drawLabels(QPainter& p, const PhasorPicture& pic, const PhasorLayout& l,
                QVector<QRectF>& taken, const QRectF& bounds) {
    const QFontMetricsF fm(p.font());
    // Voltages first: their labels sit at the outer circle, where there is most room.
    for (int n : {0, 1, 2, 3}) {
        const PhasorArrow& a = pic.arrows[size_t(n)];
        if (!a.drawn())
            continue;
        const QPointF dir = endPoint(a.angle, 1);
        const QPointF anchor = l.centre + dir * (radiusOf(a, l) + 6);
        const QString text = a.label();
        const QRectF box = freePlace(labelBox(anchor, dir, fm.size(0, text)), taken, bounds);
        p.setPen(PhasorDiagram::channelColor(a.channel));
        p.drawText(box, Qt::AlignCenter, text);
        taken << box;
    }
}

// A short sample of a channel's colour or of a line style, followed by its meaning.
double keyLine(QPainter& p, double x, double y, const QPen& pen, const QString& text) {
    const QFontMetricsF fm(p.font());
    const double mid = y + fm.height() / 2;
    p.setPen(pen);
    p.drawLine(QPointF(x, mid), QPointF(x + 28, mid));
    p.setPen(kText);
    p.drawText(QPointF(x + 36, y + fm.ascent()), text);
    return y + fm.height() + 4;
}

double textBlock(QPainter& p, const QRectF& rect, double y, const QString& text) {
    const QRectF area(rect.left(), y, rect.width(), rect.bottom() - y);
    const QRectF used = p.boundingRect(area, Qt::TextWordWrap, text);
    p.setPen(kText);
    p.drawText(area, Qt::TextWordWrap, text);
    return used.bottom() + 4;
}

// The correct connection's directions, faint and dotted, behind the measured arrows.
void drawIdeal(QPainter& p, const PhasorOverlay& overlay, const PhasorLayout& l) {
    for (int n = 0; n < 4; ++n) {
        const auto& angle = overlay.ideal[size_t(n)];
        if (!angle)
            continue;
        QColor color = PhasorDiagram::channelColor(n % 2);
        color.setAlpha(70);
        QPen pen(color, kPenWidth + 3);
        pen.setStyle(Qt::DotLine);
        p.setPen(pen);
        const double radius = n < 2 ? l.voltageRadius : l.currentRadius;
        p.drawLine(l.centre, l.centre + endPoint(*angle, radius));
    }
}

void drawInfo(QPainter& p, const PhasorPicture& pic, const QRectF& r, bool ideal) {
    double y = r.top();
    for (int ch : {0, 1}) {
        QPen pen(PhasorDiagram::channelColor(ch), kPenWidth);
        pen.setCapStyle(Qt::FlatCap);
        QString text = ch == 0 ? QStringLiteral("1CH") : QStringLiteral("2CH");
        if (!pic.channelHasSignal(ch))
            text += QStringLiteral("  No signal");
        y = keyLine(p, r.left(), y, pen, text);
    }
    QPen solid(kText, 2);
    solid.setCapStyle(Qt::FlatCap);
    y = keyLine(p, r.left(), y, solid, QStringLiteral("voltage"));
    QPen dashed = solid;
    dashed.setDashPattern({4, 2});
    y = keyLine(p, r.left(), y, dashed, QStringLiteral("current"));
    y = textBlock(p, r, y + 4,
                  QStringLiteral("Angles from U1, clockwise = lagging; U2 at U1U2, I1 at U1I1, "
                                 "I2 at U2I2 from U2."));
    if (ideal)
        y = textBlock(p, r, y,
                      QStringLiteral("Faint dotted: where the correct connection puts "
                                     "them."));
    if (!pic.voltageScale.isEmpty())
        y = textBlock(p, r, y, QStringLiteral("Outer circle: ") + pic.voltageScale);
    if (!pic.currentScale.isEmpty())
        y = textBlock(p, r, y, QStringLiteral("Inner circle: ") + pic.currentScale);

    y = textBlock(p, r, y + 8, QStringLiteral("I1I2 measured: ") + pic.i1i2);
    if (pic.impliedI1I2) {
        const double measured = normalizedDegrees(textValue(pic.i1i2));
        y = textBlock(p, r, y,
                      QStringLiteral("I1I2 from the others: ") + angleText(*pic.impliedI1I2));
        textBlock(p, r, y,
                  QStringLiteral("Difference: ") +
                      angleText(angleDifference(measured, *pic.impliedI1I2)));
    } else {
        textBlock(p, r, y, QStringLiteral("I1I2 from the others: needs all four signals"));
    }
}

} // namespace

PhasorDiagram::PhasorDiagram(const ReadingTexts& texts, QWidget* parent)
    : QWidget(parent), texts_(texts) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Phasor diagram"));
}

QColor PhasorDiagram::channelColor(int channel) {
    return pm::channelColor(channel);
}

void PhasorDiagram::setOverlay(const PhasorOverlay& overlay) {
    overlay_ = overlay;
    update();
}

void PhasorDiagram::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, size(), texts_, overlay_);
}

void PhasorDiagram::paint(QPainter& p, QSizeF area, const ReadingTexts& texts,
                          const PhasorOverlay& overlay) {
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(QPointF(), area), background());
    QFont font = p.font();
    font.setPointSizeF(9);
    p.setFont(font);

    PhasorPicture pic = phasorPicture(texts);
    for (size_t n = 0; n < pic.arrows.size(); ++n)
        if (!overlay.names[n].isEmpty())
            pic.arrows[n].name = overlay.names[n];
    const PhasorLayout l = phasorLayout(area);
    QVector<QRectF> taken;
    drawScales(p, l, taken);
    drawIdeal(p, overlay, l);
    for (const PhasorArrow& a : pic.arrows) {
        if (a.drawn())
            drawArrow(p, a, l);
    }
    const QRectF diagramArea(0, 0, l.infoRect.left(), area.height());
    drawLabels(p, pic, l, taken, diagramArea.adjusted(2, 2, -2, -2));
    if (!pic.anythingDrawn()) {
        QFont big = font;
        big.setPointSizeF(14);
        big.setBold(true);
        p.setFont(big);
        p.setPen(kText);
        const QRectF box(l.centre - QPointF(l.currentRadius, 20), QSizeF(2 * l.currentRadius, 40));
        p.fillRect(box, background());
        p.drawText(box, Qt::AlignCenter, QStringLiteral("No signal"));
        p.setFont(font);
    }
    const bool ideal = std::any_of(overlay.ideal.begin(), overlay.ideal.end(),
                                   [](const auto& a) { return a.has_value(); });
    drawInfo(p, pic, l.infoRect, ideal);
}

} // namespace pm
