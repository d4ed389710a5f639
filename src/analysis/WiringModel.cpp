#include "analysis/WiringModel.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace pm {

namespace {

using Phasor = std::complex<double>;

Phasor unit(double degrees) {
    return std::polar(1.0, degrees * std::numbers::pi / 180);
}

double argDegrees(Phasor p) {
    return std::arg(p) * 180 / std::numbers::pi;
}

// How far y lags x.
double lag(Phasor x, Phasor y) {
    return wrap360(argDegrees(x) - argDegrees(y));
}

// The supply: positive sequence, angles leading (counter-clockwise), line A the reference.
double lineAngle(char line) {
    return line == 'A' ? 0.0 : line == 'B' ? -120.0 : 120.0;
}

Phasor voltage(char line) {
    return unit(lineAngle(line));
}

Phasor current(CurrentTap tap, double phi) {
    const Phasor i = unit(lineAngle(tap.line) - phi);
    return tap.reversed ? -i : i;
}

// Angles read from the model are exact multiples of a tenth of a degree away from phi; the
// rounding keeps 299.99999999 from showing as a different direction than 300.
double clean(double degrees) {
    return wrap360(std::round(degrees * 1e9) / 1e9);
}

} // namespace

double wrap360(double degrees) {
    if (!std::isfinite(degrees))
        return 0;
    const double d = std::fmod(degrees, 360.0);
    return d < 0 ? (d + 360.0 >= 360.0 ? 0.0 : d + 360.0) : d;
}

double wrap180(double degrees) {
    const double d = wrap360(degrees);
    return d > 180 ? d - 360 : d;
}

QString CurrentTap::code() const {
    return QString(reversed ? QLatin1Char('-') : QLatin1Char('+')) + QLatin1Char(line);
}

QString CurrentTap::phasorName() const {
    return (reversed ? QStringLiteral("\u2212I") : QStringLiteral("I")) +
           QChar(QLatin1Char(line)).toLower();
}

QString ThreeWireConnection::terminalText() const {
    return QString::fromLatin1(terminals.data(), 3);
}

QString ThreeWireConnection::name() const {
    return QStringLiteral("terminals %1, I1 %2, I2 %3").arg(terminalText(), i1.code(), i2.code());
}

int ThreeWireConnection::commonTerminal() const {
    return int(std::find(terminals.begin(), terminals.end(), 'B') - terminals.begin()) + 1;
}

bool ThreeWireConnection::positiveSequence() const {
    const QString t = terminalText();
    return t == QLatin1String("ABC") || t == QLatin1String("BCA") || t == QLatin1String("CAB");
}

int ThreeWireConnection::faults() const {
    const ThreeWireConnection right;
    return int(terminals != right.terminals) + int(i1 != right.i1) + int(i2 != right.i2);
}

const std::vector<ThreeWireConnection>& threeWireConnections() {
    static const std::vector<ThreeWireConnection> all = [] {
        std::vector<ThreeWireConnection> list;
        std::array<char, 3> order{'A', 'B', 'C'};
        do {
            for (const auto& [first, second] : {std::pair{'A', 'C'}, std::pair{'C', 'A'}})
                for (const bool r1 : {false, true})
                    for (const bool r2 : {false, true})
                        list.push_back({order, {first, r1}, {second, r2}});
        } while (std::next_permutation(order.begin(), order.end()));
        return list;
    }();
    return all;
}

MeterAngles threeWireAngles(const ThreeWireConnection& c, double phi) {
    const Phasor u1 = voltage(c.terminals[0]) - voltage(c.terminals[1]);
    const Phasor u2 = voltage(c.terminals[2]) - voltage(c.terminals[1]);
    const Phasor i1 = current(c.i1, phi);
    const Phasor i2 = current(c.i2, phi);
    return {clean(lag(u1, u2)), clean(lag(i1, i2)), clean(lag(u1, i1)), clean(lag(u2, i2))};
}

double fourWirePowerAngle(PhaseTap tap, bool reversed, double phi) {
    // The phase that lags its own voltage by 120 degrees, or leads it by 120.
    const double offset = tap == PhaseTap::Own ? 0 : tap == PhaseTap::Lagging ? 120 : 240;
    return clean(offset + phi + (reversed ? 180 : 0));
}

} // namespace pm
