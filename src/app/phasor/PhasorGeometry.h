#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <array>
#include <optional>

namespace pm {

class ReadingTexts;

// The geometry of the phasor diagram. U1 is the reference along +x; every other phasor is placed
// by the angle the instrument measured from its own reference, lagging, and drawn clockwise as is
// usual in power engineering. Points are in screen orientation: x to the right, y downwards.

// An angle in degrees brought into [0, 360), kept to the tenths the instrument reports, so that
// 360.0 is the same direction as 0.0.
double normalizedDegrees(double degrees);

// The end point of a phasor of the given length at `degrees` lagging the reference.
QPointF endPoint(double degrees, double length);

// Length of a phasor on a scale shared with the other of its pair: the larger of the two reaches
// 1. A magnitude that is not above zero has no length (nothing to draw).
double scaledLength(double magnitude, double otherOfPair);

// Angles of the four phasors from U1, from the instrument's U1U2, U1I1 and U2I2.
double u2Angle(double u1u2);
double i1Angle(double u1i1);
double i2Angle(double u1u2, double u2i2);
// The I1I2 angle that the other three angles imply.
double impliedI1I2(double u1u2, double u1i1, double u2i2);
// a - b, wrapped into (-180, 180].
double angleDifference(double a, double b);
// An angle as the panel writes one: "62.5°".
QString angleText(double degrees);

// Where the diagram lies in a widget of the given size: the circle of the voltage scale, the
// smaller circle of the current scale with room for the labels around them (diagramRect), and
// the key and texts beside them or, on a report's page, below them (infoRect).
enum class KeyPlace { Right, Below };
struct PhasorLayout {
    QPointF centre;
    double voltageRadius = 0;
    double currentRadius = 0;
    QRectF diagramRect;
    QRectF infoRect;
};
PhasorLayout phasorLayout(QSizeF size, KeyPlace key = KeyPlace::Right);

// One arrow of the diagram as read from the panel's texts.
struct PhasorArrow {
    QString name;      // "U1", "U2", "I1", "I2"
    QString magnitude; // the panel's text, e.g. "230.00"
    QString unit;      // "V" or "A"
    int channel = 0;   // 0 or 1
    bool current = false;
    double angle = 0;  // degrees from U1, lagging, in [0, 360)
    double length = 0; // on its pair's scale, 0 to 1; 0 is not drawn

    bool drawn() const { return length > 0; }
    // "U1 230.00 V 0.0°"
    QString label() const;
};

// Everything the diagram shows, computed from the texts the panel shows.
struct PhasorPicture {
    std::array<PhasorArrow, 4> arrows; // U1, U2, I1, I2
    QString voltageScale; // full scale of the voltage circle, "230.00 V"; empty if none
    QString currentScale; // full scale of the current circle, "5.000 A"; empty if none
    QString i1i2;         // the instrument's I1I2 text
    std::optional<double> impliedI1I2; // only when all four phasors are present

    bool channelHasSignal(int channel) const;
    bool anythingDrawn() const;
};
PhasorPicture phasorPicture(const ReadingTexts& texts);

} // namespace pm
