#include "app/style/QuantityColors.h"

namespace pm {

QColor quantityColor(Field f) {
    switch (f) {
    case Field::U1:
    case Field::I1:
        return QColor(200, 30, 30); // red
    case Field::P1:
        return QColor(230, 120, 0); // orange
    case Field::Q1:
        return QColor(150, 80, 20); // brown
    case Field::S1:
        return QColor(205, 40, 130); // crimson
    case Field::PF1:
        return QColor(185, 150, 0); // amber
    case Field::U2:
    case Field::I2:
        return QColor(20, 90, 210); // blue
    case Field::P2:
        return QColor(0, 150, 165); // teal
    case Field::Q2:
        return QColor(70, 60, 170); // indigo
    case Field::S2:
        return QColor(0, 105, 90); // sea green
    case Field::PF2:
        return QColor(90, 160, 230); // sky blue
    case Field::PhaseU1U2:
        return QColor(0, 140, 70); // green
    case Field::PhaseI1I2:
        return QColor(150, 60, 170); // purple
    case Field::PhaseU1I1:
        return QColor(170, 70, 40); // rust, channel 1's angle
    case Field::PhaseU2I2:
        return QColor(40, 120, 180); // steel blue, channel 2's angle
    case Field::Freq:
        return QColor(60, 60, 60); // dark grey
    }
    return Qt::black;
}

Qt::PenStyle quantityLineStyle(Field f) {
    return f == Field::I1 || f == Field::I2 ? Qt::DashLine : Qt::SolidLine;
}

QColor channelColor(int channel) {
    return quantityColor(voltageField(channel));
}

} // namespace pm
