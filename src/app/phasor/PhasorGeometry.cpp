#include "app/phasor/PhasorGeometry.h"

#include "protocol/Fmtval.h"
#include "protocol/Reading.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pm {

namespace {

// The current circle sits inside the voltage circle, so that neither pair hides the other.
constexpr double kCurrentRadiusRatio = 0.62;
// Room beside the circle for a label such as "U1 32,767 V 359.9°", and above and below it.
constexpr double kLabelRoom = 130;
constexpr double kVerticalMargin = 28;
constexpr double kInfoWidth = 200;
constexpr double kInfoHeight = 200;

} // namespace

double normalizedDegrees(double degrees) {
    if (!std::isfinite(degrees))
        return 0;
    // In whole tenths: 359.96 would otherwise be shown as "360.0" beside "0.0" for the same
    // direction.
    const double tenths = std::fmod(std::round(degrees * 10), 3600.0);
    return (tenths < 0 ? tenths + 3600 : tenths) / 10;
}

QPointF endPoint(double degrees, double length) {
    const double rad = normalizedDegrees(degrees) * std::numbers::pi / 180;
    // Lagging is clockwise; with y growing downwards that is a positive screen rotation.
    return {length * std::cos(rad), length * std::sin(rad)};
}

double scaledLength(double magnitude, double otherOfPair) {
    if (!(magnitude > 0))
        return 0;
    return magnitude / std::max(magnitude, otherOfPair);
}

double u2Angle(double u1u2) {
    return normalizedDegrees(u1u2);
}

double i1Angle(double u1i1) {
    return normalizedDegrees(u1i1);
}

double i2Angle(double u1u2, double u2i2) {
    return normalizedDegrees(u1u2 + u2i2);
}

double impliedI1I2(double u1u2, double u1i1, double u2i2) {
    return normalizedDegrees(i2Angle(u1u2, u2i2) - i1Angle(u1i1));
}

double angleDifference(double a, double b) {
    const double d = normalizedDegrees(a - b);
    return d > 180 ? d - 360 : d;
}

QString angleText(double degrees) {
    return fmtval(float(degrees), 1) + QStringLiteral("\u00B0");
}

PhasorLayout phasorLayout(QSizeF size, KeyPlace key) {
    PhasorLayout l;
    if (key == KeyPlace::Below) {
        const double infoHeight = std::min(kInfoHeight, size.height() / 3);
        l.diagramRect = QRectF(0, 0, size.width(), size.height() - infoHeight);
        l.infoRect =
            QRectF(0, l.diagramRect.bottom(), size.width(), infoHeight).adjusted(8, 0, -8, -8);
    } else {
        const double infoWidth = std::min(kInfoWidth, size.width() / 3);
        l.diagramRect = QRectF(0, 0, size.width() - infoWidth, size.height());
        l.infoRect =
            QRectF(l.diagramRect.right(), 0, infoWidth, size.height()).adjusted(0, 8, -8, -8);
    }
    const double radius = std::min(l.diagramRect.height() / 2 - kVerticalMargin,
                                   (l.diagramRect.width() - 2 * kLabelRoom) / 2);
    l.voltageRadius = std::max(radius, 0.0);
    l.currentRadius = l.voltageRadius * kCurrentRadiusRatio;
    l.centre = l.diagramRect.center();
    return l;
}

QString PhasorArrow::label() const {
    return name + QLatin1Char(' ') + magnitude + QLatin1Char(' ') + unit + QLatin1Char(' ') +
           angleText(angle);
}

bool PhasorPicture::channelHasSignal(int channel) const {
    return std::any_of(arrows.begin(), arrows.end(), [channel](const PhasorArrow& a) {
        return a.channel == channel && a.drawn();
    });
}

bool PhasorPicture::anythingDrawn() const {
    return channelHasSignal(0) || channelHasSignal(1);
}

PhasorPicture phasorPicture(const ReadingTexts& texts) {
    const auto value = [&texts](Field f) { return textValue(texts.text(f)); };
    const double u1 = value(Field::U1), u2 = value(Field::U2);
    const double i1 = value(Field::I1), i2 = value(Field::I2);
    const double u1u2 = value(Field::PhaseU1U2), u1i1 = value(Field::PhaseU1I1),
                 u2i2 = value(Field::PhaseU2I2);

    PhasorPicture pic;
    const auto arrow = [&texts](const char* name, Field f, int channel, bool current, double angle,
                                double length) {
        PhasorArrow a;
        a.name = QString::fromLatin1(name);
        a.magnitude = texts.text(f);
        a.unit = current ? QStringLiteral("A") : QStringLiteral("V");
        a.channel = channel;
        a.current = current;
        a.angle = angle;
        a.length = length;
        return a;
    };
    pic.arrows[0] = arrow("U1", Field::U1, 0, false, 0.0, scaledLength(u1, u2));
    pic.arrows[1] = arrow("U2", Field::U2, 1, false, u2Angle(u1u2), scaledLength(u2, u1));
    pic.arrows[2] = arrow("I1", Field::I1, 0, true, i1Angle(u1i1), scaledLength(i1, i2));
    pic.arrows[3] = arrow("I2", Field::I2, 1, true, i2Angle(u1u2, u2i2), scaledLength(i2, i1));

    // The full scale is the larger of the pair, shown as the panel shows it.
    if (u1 > 0 || u2 > 0)
        pic.voltageScale = texts.text(u1 >= u2 ? Field::U1 : Field::U2) + QStringLiteral(" V");
    if (i1 > 0 || i2 > 0)
        pic.currentScale = texts.text(i1 >= i2 ? Field::I1 : Field::I2) + QStringLiteral(" A");

    pic.i1i2 = texts.text(Field::PhaseI1I2);
    // Each of the three angles is only meaningful with both of its signals present.
    if (std::all_of(pic.arrows.begin(), pic.arrows.end(), [](const auto& a) { return a.drawn(); }))
        pic.impliedI1I2 = impliedI1I2(u1u2, u1i1, u2i2);
    return pic;
}

} // namespace pm
