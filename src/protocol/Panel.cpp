#include "protocol/Reading.h"

namespace pm {

Panel::Panel() {
    for (int f = 0; f < kFieldCount; ++f)
        texts_[size_t(f)] = initialText(Field(f));
}

QString Panel::initialText(Field f) {
    switch (f) {
    case Field::U1:
    case Field::U2:
    case Field::Freq:
        return QStringLiteral("0.00");
    case Field::PF1:
    case Field::PF2:
        return QStringLiteral("1.000");
    case Field::PhaseU1U2:
    case Field::PhaseI1I2:
    case Field::PhaseU1I1:
    case Field::PhaseU2I2:
        return QStringLiteral("360.0\u00B0");
    default:
        return QStringLiteral("0.0000");
    }
}

} // namespace pm
