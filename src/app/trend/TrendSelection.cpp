#include "app/trend/TrendSelection.h"

#include "protocol/Fmtval.h"

#include <algorithm>

namespace pm {

TrendUnit trendUnit(Field f) {
    switch (f) {
    case Field::U1:
    case Field::U2:
        return TrendUnit::Volt;
    case Field::I1:
    case Field::I2:
        return TrendUnit::Ampere;
    case Field::P1:
    case Field::P2:
        return TrendUnit::Kilowatt;
    case Field::Q1:
    case Field::Q2:
        return TrendUnit::Kilovar;
    case Field::S1:
    case Field::S2:
        return TrendUnit::KiloVoltAmpere;
    case Field::PF1:
    case Field::PF2:
        return TrendUnit::PowerFactor;
    case Field::Freq:
        return TrendUnit::Hertz;
    default:
        return TrendUnit::Degree;
    }
}

QString trendAxisTitle(TrendUnit unit) {
    switch (unit) {
    case TrendUnit::Volt:
        return QStringLiteral("U (V)");
    case TrendUnit::Ampere:
        return QStringLiteral("I (A)");
    case TrendUnit::Kilowatt:
        return QStringLiteral("P (kW)");
    case TrendUnit::Kilovar:
        return QStringLiteral("Q (kvar)");
    case TrendUnit::KiloVoltAmpere:
        return QStringLiteral("S (kVA)");
    case TrendUnit::PowerFactor:
        return QStringLiteral("PF");
    case TrendUnit::Degree:
        return QStringLiteral("Angle (\u00B0)");
    case TrendUnit::Hertz:
        return QStringLiteral("F (Hz)");
    }
    return {};
}

QString trendName(Field f) {
    static const char* const names[kFieldCount] = {"U1",   "U2",   "I1",   "I2",   "P1",  "P2",
                                                   "Q1",   "Q2",   "S1",   "S2",   "PF1", "PF2",
                                                   "U1U2", "I1I2", "U1I1", "U2I2", "F"};
    return QString::fromLatin1(names[size_t(f)]);
}

QString trendUnitSuffix(TrendUnit unit) {
    switch (unit) {
    case TrendUnit::Volt:
        return QStringLiteral("V");
    case TrendUnit::Ampere:
        return QStringLiteral("A");
    case TrendUnit::Kilowatt:
        return QStringLiteral("kW");
    case TrendUnit::Kilovar:
        return QStringLiteral("kvar");
    case TrendUnit::KiloVoltAmpere:
        return QStringLiteral("kVA");
    case TrendUnit::PowerFactor:
        return {};
    case TrendUnit::Degree:
        return QStringLiteral("\u00B0");
    case TrendUnit::Hertz:
        return QStringLiteral("Hz");
    }
    return {};
}

QString trendValueText(Field f, double value, int decimals) {
    const TrendUnit unit = trendUnit(f);
    const QString number = fmtval(float(value), decimals);
    // The panel writes the degree sign onto the angle; the other units stand apart.
    if (unit == TrendUnit::Degree)
        return number + trendUnitSuffix(unit);
    const QString suffix = trendUnitSuffix(unit);
    return suffix.isEmpty() ? number : number + QLatin1Char(' ') + suffix;
}

TrendSelection::TrendSelection() {
    // Voltages on the left and currents on the right, as the phasor diagram pairs them.
    for (Field f : {Field::U1, Field::U2, Field::I1, Field::I2})
        setChecked(f, true);
}

void TrendSelection::setChecked(Field f, bool on) {
    if (checked_[size_t(f)] == on)
        return;
    const TrendUnit unit = trendUnit(f);
    checked_[size_t(f)] = on;
    if (!on) {
        const bool unitStillShown = std::ranges::any_of(
            checked(), [unit](Field other) { return trendUnit(other) == unit; });
        if (!unitStillShown)
            dropUnit(unit);
        return;
    }
    if (sideOf(unit))
        return;
    if (order_.size() == sides_.size()) {
        const TrendUnit oldest = order_.front();
        for (int g = 0; g < kFieldCount; ++g)
            if (trendUnit(Field(g)) == oldest)
                checked_[size_t(g)] = false;
        dropUnit(oldest);
    }
    auto free = std::ranges::find_if(sides_, [](const auto& side) { return !side; });
    *free = unit;
    order_.push_back(unit);
}

std::vector<Field> TrendSelection::checked() const {
    std::vector<Field> fields;
    for (int g = 0; g < kFieldCount; ++g)
        if (checked_[size_t(g)])
            fields.push_back(Field(g));
    return fields;
}

std::optional<TrendSide> TrendSelection::sideOf(TrendUnit unit) const {
    for (size_t s = 0; s < sides_.size(); ++s)
        if (sides_[s] == unit)
            return TrendSide(s);
    return std::nullopt;
}

void TrendSelection::dropUnit(TrendUnit unit) {
    for (auto& side : sides_)
        if (side == unit)
            side.reset();
    std::erase(order_, unit);
}

} // namespace pm
