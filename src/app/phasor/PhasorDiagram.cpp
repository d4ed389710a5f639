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
constexpr double kKeyWidth = 170;
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

// Arrows this close in direction would hide each other.
constexpr double kCoincidentDegrees = 4;
constexpr double kSideStep = kPenWidth + 2;

// The arrow's line from the centre towards its tip, moved `aside` across its direction.
QLineF arrowLine(const PhasorArrow& a, const PhasorLayout& l, double aside) {
    const QPointF dir = endPoint(a.angle, 1);
    const QPointF shift = QPointF(-dir.y(), dir.x()) * aside;
    return {l.centre + shift, l.centre + shift + dir * radiusOf(a, l)};
}

void drawArrow(QPainter& p, const PhasorArrow& a, const QLineF& line) {
    const double len = line.length();
    const QPointF dir = (line.p2() - line.p1()) / len;
    const QPointF tip = line.p2();
    const double head = std::min(kArrowHead, len / 2);
    const QPointF base = tip - dir * head;
    const QPointF across(-dir.y(), dir.x());

    p.setPen(phasorPen(a));
    p.drawLine(line.p1(), base);
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

// True when the line passes through the box or a pen's width around it.
bool crosses(const QRectF& box, const QLineF& line) {
    const QRectF r = box.adjusted(-kPenWidth, -kPenWidth, kPenWidth, kPenWidth);
    if (r.contains(line.p1()) || r.contains(line.p2()))
        return true;
    const QLineF edges[] = {{r.topLeft(), r.topRight()},
                            {r.topRight(), r.bottomRight()},
                            {r.bottomRight(), r.bottomLeft()},
                            {r.bottomLeft(), r.topLeft()}};
    return std::any_of(std::begin(edges), std::end(edges), [&line](const QLineF& e) {
        return line.intersects(e, nullptr) == QLineF::BoundedIntersection;
    });
}

// Moves a box, nearest places first, until it overlaps none of the boxes already placed and no
// arrow, and stays inside `bounds`; phasors pointing the same way would otherwise print over each
// other.
QRectF freePlace(QRectF box, const QVector<QRectF>& taken, const QVector<QLineF>& arrows,
                 const QRectF& bounds) {
    box.moveLeft(std::max(bounds.left(), std::min(box.left(), bounds.right() - box.width())));
    const double across[] = {0, box.width() / 2, -box.width() / 2, box.width(), -box.width()};
    for (int step = 0; step < 24; ++step) {
        const double shift = (step % 2 ? -1 : 1) * ((step + 1) / 2) * box.height();
        for (double dx : across) {
            const QRectF tried = box.translated(dx, shift);
            if (!bounds.contains(tried))
                continue;
            const auto overlaps = [&tried](const QRectF& t) { return t.intersects(tried); };
            const auto hit = [&tried](const QLineF& a) { return crosses(tried, a); };
            if (std::none_of(taken.begin(), taken.end(), overlaps) &&
                std::none_of(arrows.begin(), arrows.end(), hit))
                return tried;
        }
    }
    return box;
}

constexpr int kMarks[] = {0, 90, 180, 270};

QString markText(int deg) {
    return QString::number(deg) + QStringLiteral("\u00B0");
}

// The direction marks show which way the angles run; 0° and 180° sit above the axis, clear of a
// phasor along it.
QVector<QRectF> scaleMarkBoxes(const PhasorLayout& l, const QFontMetricsF& fm) {
    const double reach = l.voltageRadius + 6;
    QVector<QRectF> boxes;
    for (int deg : kMarks) {
        const QPointF dir = endPoint(deg, 1);
        QRectF box = labelBox(l.centre + dir * (reach + 2), dir, fm.size(0, markText(deg)));
        if (deg == 0 || deg == 180)
            box.moveBottom(l.centre.y() - 2);
        boxes << box;
    }
    return boxes;
}

void drawScales(QPainter& p, const PhasorLayout& l) {
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
    const QVector<QRectF> boxes = scaleMarkBoxes(l, QFontMetricsF(p.font()));
    for (qsizetype k = 0; k < boxes.size(); ++k)
        p.drawText(boxes[k], Qt::AlignCenter, markText(kMarks[k]));
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

// The key, then the texts; a wide area (below the diagram) has them side by side.
void drawInfo(QPainter& p, const PhasorPicture& pic, const QRectF& area, bool ideal) {
    const bool sideBySide = area.width() >= 3 * kKeyWidth;
    double y = area.top();
    for (int ch : {0, 1}) {
        QPen pen(PhasorDiagram::channelColor(ch), kPenWidth);
        pen.setCapStyle(Qt::FlatCap);
        QString text = ch == 0 ? QStringLiteral("1CH") : QStringLiteral("2CH");
        if (!pic.channelHasSignal(ch))
            text += QStringLiteral("  No signal");
        y = keyLine(p, area.left(), y, pen, text);
    }
    QPen solid(kText, 2);
    solid.setCapStyle(Qt::FlatCap);
    y = keyLine(p, area.left(), y, solid, QStringLiteral("voltage"));
    QPen dashed = solid;
    dashed.setDashPattern({4, 2});
    y = keyLine(p, area.left(), y, dashed, QStringLiteral("current"));
    const QRectF r = sideBySide ? area.adjusted(kKeyWidth, 0, 0, 0) : area;
    if (sideBySide)
        y = area.top() - 4;
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

QFont PhasorDiagram::font() {
    QFont f;
    f.setPixelSize(12); // 9 points on the screen; in the painter's units, so a report scales it
    return f;
}

PhasorPlacement PhasorDiagram::placement(QSizeF area, const ReadingTexts& texts,
                                         const PhasorOverlay& overlay, KeyPlace key) {
    PhasorPlacement placed;
    placed.picture = phasorPicture(texts);
    PhasorPicture& pic = placed.picture;
    for (size_t n = 0; n < pic.arrows.size(); ++n)
        if (!overlay.names[n].isEmpty())
            pic.arrows[n].name = overlay.names[n];
    placed.layout = phasorLayout(area, key);
    const PhasorLayout& l = placed.layout;

    // Arrows pointing the same way are drawn side by side, so that each stays visible.
    QVector<QLineF> lines;
    for (size_t n = 0; n < pic.arrows.size(); ++n) {
        const PhasorArrow& a = pic.arrows[n];
        if (!a.drawn())
            continue;
        int same = 0;
        for (size_t m = 0; m < n; ++m)
            if (pic.arrows[m].drawn() &&
                std::abs(angleDifference(a.angle, pic.arrows[m].angle)) < kCoincidentDegrees)
                ++same;
        placed.arrows[n] = arrowLine(a, l, same * kSideStep);
        lines << placed.arrows[n];
    }

    // Labels beyond the tips, clear of the direction marks, the arrows, each other and the key.
    const QFontMetricsF fm(font());
    const QRectF bounds = l.diagramRect.adjusted(2, 2, -2, -2);
    QVector<QRectF> taken = scaleMarkBoxes(l, fm);
    for (size_t n = 0; n < pic.arrows.size(); ++n) {
        const PhasorArrow& a = pic.arrows[n];
        if (!a.drawn())
            continue;
        const QPointF dir = endPoint(a.angle, 1);
        const QPointF anchor = placed.arrows[n].p2() + dir * 6;
        placed.labels[n] =
            freePlace(labelBox(anchor, dir, fm.size(0, a.label())), taken, lines, bounds);
        taken << placed.labels[n];
    }
    return placed;
}

void PhasorDiagram::paint(QPainter& p, QSizeF area, const ReadingTexts& texts,
                          const PhasorOverlay& overlay, KeyPlace key) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(QPointF(), area), background());
    p.setFont(font());

    const PhasorPlacement placed = placement(area, texts, overlay, key);
    const PhasorPicture& pic = placed.picture;
    const PhasorLayout& l = placed.layout;
    drawScales(p, l);
    drawIdeal(p, overlay, l);
    for (size_t n = 0; n < pic.arrows.size(); ++n)
        if (pic.arrows[n].drawn())
            drawArrow(p, pic.arrows[n], placed.arrows[n]);
    for (size_t n = 0; n < pic.arrows.size(); ++n) {
        if (!pic.arrows[n].drawn())
            continue;
        p.setPen(PhasorDiagram::channelColor(pic.arrows[n].channel));
        p.drawText(placed.labels[n], Qt::AlignCenter, pic.arrows[n].label());
    }
    if (!pic.anythingDrawn()) {
        QFont big = font();
        big.setPixelSize(19);
        big.setBold(true);
        p.setFont(big);
        p.setPen(kText);
        const QRectF box(l.centre - QPointF(l.currentRadius, 20), QSizeF(2 * l.currentRadius, 40));
        p.fillRect(box, background());
        p.drawText(box, Qt::AlignCenter, QStringLiteral("No signal"));
        p.setFont(font());
    }
    const bool ideal = std::any_of(overlay.ideal.begin(), overlay.ideal.end(),
                                   [](const auto& a) { return a.has_value(); });
    drawInfo(p, pic, l.infoRect, ideal);
    p.restore();
}

} // namespace pm
