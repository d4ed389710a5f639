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
    QString voltages;
    if (u1Reversed)
        voltages += QStringLiteral(", U1 -");
    if (u2Reversed)
        voltages += QStringLiteral(", U2 -");
    return QStringLiteral("terminals %1%2, I1 %3, I2 %4")
        .arg(terminalText(), voltages, i1.code(), i2.code());
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
    return int(terminals != right.terminals) + int(i1.line != 'A') + int(i1.reversed) +
           int(i2.reversed) + int(u1Reversed) + int(u2Reversed);
}

bool ThreeWireConnection::registersRight() const {
    return terminals[1] == 'B' && i1.line == terminals[0] && i2.line == terminals[2] &&
           i1.reversed == u1Reversed && i2.reversed == u2Reversed;
}

ThreeWireConnection ThreeWireConnection::twin() const {
    return {terminals, {i1.line, !i1.reversed}, {i2.line, !i2.reversed}, !u1Reversed, !u2Reversed};
}

bool ThreeWireConnection::preferredOverTwin() const {
    const ThreeWireConnection t = twin();
    if (faults() != t.faults())
        return faults() < t.faults();
    const int voltages = int(u1Reversed) + int(u2Reversed);
    const int twinVoltages = int(t.u1Reversed) + int(t.u2Reversed);
    if (voltages != twinVoltages)
        return voltages < twinVoltages;
    // One voltage and one current each way: name element 1's pair.
    return u1Reversed;
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

const std::vector<ThreeWireConnection>& threeWireHypotheses() {
    static const std::vector<ThreeWireConnection> all = [] {
        std::vector<ThreeWireConnection> list;
        for (const bool u1 : {false, true})
            for (const bool u2 : {false, true})
                for (ThreeWireConnection c : threeWireConnections()) {
                    c.u1Reversed = u1;
                    c.u2Reversed = u2;
                    if (c.preferredOverTwin())
                        list.push_back(c);
                }
        return list;
    }();
    return all;
}

MeterAngles threeWireAngles(const ThreeWireConnection& c, double phi) {
    const double s1 = c.u1Reversed ? -1 : 1, s2 = c.u2Reversed ? -1 : 1;
    const Phasor u1 = s1 * (voltage(c.terminals[0]) - voltage(c.terminals[1]));
    const Phasor u2 = s2 * (voltage(c.terminals[2]) - voltage(c.terminals[1]));
    const Phasor i1 = current(c.i1, phi);
    const Phasor i2 = current(c.i2, phi);
    return {clean(lag(u1, u2)), clean(lag(i1, i2)), clean(lag(u1, i1)), clean(lag(u2, i2))};
}

MeasuredPhasors measuredPhasors(const MeterAngles& a, const std::array<double, 2>& volts,
                                const std::array<double, 2>& amperes) {
    // Each angle is a lag: a phasor that lags U1 by d stands at -d.
    return {std::polar(volts[0], 0.0), volts[1] * unit(-a.u1u2), amperes[0] * unit(-a.u1i1),
            amperes[1] * unit(-a.u1u2 - a.u2i2)};
}

double trueThreeWirePower(const ThreeWireConnection& c, const MeasuredPhasors& m) {
    // Line voltages are all a three-wire load sees: put the terminal-2 line at zero.
    std::array<Phasor, 3> v{};
    const auto index = [](char line) { return size_t(line - 'A'); };
    v[index(c.terminals[0])] = c.u1Reversed ? -m.u1 : m.u1;
    v[index(c.terminals[2])] = c.u2Reversed ? -m.u2 : m.u2;
    std::array<Phasor, 3> i{};
    i[index(c.i1.line)] = c.i1.reversed ? -m.i1 : m.i1;
    i[index(c.i2.line)] = c.i2.reversed ? -m.i2 : m.i2;
    i[index('B')] = -i[index('A')] - i[index('C')];
    double p = 0;
    for (size_t k = 0; k < 3; ++k)
        p += (v[k] * std::conj(i[k])).real();
    return p;
}

double registeredPower(const MeasuredPhasors& m) {
    return (m.u1 * std::conj(m.i1)).real() + (m.u2 * std::conj(m.i2)).real();
}

double fourWirePowerAngle(PhaseTap tap, bool reversed, double phi) {
    // The phase that lags its own voltage by 120 degrees, or leads it by 120.
    const double offset = tap == PhaseTap::Own ? 0 : tap == PhaseTap::Lagging ? 120 : 240;
    return clean(offset + phi + (reversed ? 180 : 0));
}

} // namespace pm
