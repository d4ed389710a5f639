#include "jobs/PrimaryValues.h"

#include "protocol/Fmtval.h"
#include "protocol/Reading.h"

#include <charconv>
#include <cmath>

namespace pm {

namespace {

QString fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0)
        rounded = 0; // no "-0.00"
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

double radians(double degrees) {
    return degrees * 3.14159265358979323846 / 180;
}

} // namespace

PrimaryValues primaryValues(const ReadingTexts& texts, const Ratio& ct, const Ratio& vt) {
    const double factor = ct.factor() * vt.factor();
    PrimaryValues v;
    for (int ch = 0; ch < 2; ++ch) {
        const auto c = size_t(ch);
        const double theta = radians(textValue(texts.text(phaseField(ch == 0 ? 2 : 3))));
        const double p = textValue(texts.text(activeField(ch)));
        const double q = textValue(texts.text(reactiveField(ch)));
        v.p[c] = (std::cos(theta) < 0 ? -p : p) * factor;
        v.q[c] = (std::sin(theta) < 0 ? -q : q) * factor;
        v.s[c] = textValue(texts.text(apparentField(ch))) * factor;
    }
    v.totalP = v.p[0] + v.p[1];
    v.totalQ = v.q[0] + v.q[1];
    v.totalS = std::hypot(v.totalP, v.totalQ);
    return v;
}

QString powerText(double kilo, const QString& unit) {
    const double a = std::abs(kilo);
    if (a >= 1000)
        return fixed(kilo / 1000, 3) + QStringLiteral(" M") + unit;
    return fixed(kilo, a >= 100 ? 1 : a >= 10 ? 2 : 3) + QStringLiteral(" k") + unit;
}

QString energyText(double kwh) {
    if (std::abs(kwh) >= 10000)
        return fixed(kwh / 1000, 3) + QStringLiteral(" MWh");
    return fixed(kwh, 1) + QStringLiteral(" kWh");
}

} // namespace pm
