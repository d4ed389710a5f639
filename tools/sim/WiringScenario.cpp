#include "sim/WiringScenario.h"

#include "sim/SimOptions.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace pm::sim {

namespace {

using Phasor = std::complex<double>;

Phasor polar(double magnitude, double degrees) {
    return std::polar(magnitude, degrees * std::numbers::pi / 180);
}

// Positive sequence, angles leading: A at 0°, B at -120°, C at +120°; negative: B and C trade.
double lineAngle(char line, bool negative = false) {
    const double turn = negative ? -1 : 1;
    return line == 'A' ? 0.0 : line == 'B' ? -120.0 * turn : 120.0 * turn;
}

// How far y lags x, in degrees.
double lag(Phasor x, Phasor y) {
    return (std::arg(x) - std::arg(y)) * 180 / std::numbers::pi;
}

bool isLine(QChar c) {
    return c == QLatin1Char('A') || c == QLatin1Char('B') || c == QLatin1Char('C');
}

// "+A", "-C": the line and the direction of a current.
bool parseCurrent(const QString& text, char& line, bool& reversed) {
    if (text.size() != 2 || (text[0] != QLatin1Char('+') && text[0] != QLatin1Char('-')) ||
        !isLine(text[1]))
        return false;
    reversed = text[0] == QLatin1Char('-');
    line = char(text[1].toLatin1());
    return true;
}

} // namespace

std::optional<WiringScenario> parseWiringScenario(const QString& text, QString& error) {
    const QStringList parts = text.toUpper().split(QLatin1Char(':'));
    WiringScenario s;
    const QString system = parts[0];
    if (system == QLatin1String("3P3W")) {
        if (parts.size() != 1 && parts.size() != 4) {
            error = QStringLiteral("3p3w takes the lines on terminals 1 to 3 and each element's "
                                   "current, as in 3p3w:BAC:-C:+A");
            return std::nullopt;
        }
        if (parts.size() == 4) {
            QString order = parts[1];
            std::sort(order.begin(), order.end());
            if (order != QLatin1String("ABC")) {
                error =
                    QStringLiteral("\"%1\" is not an order of the lines A, B and C").arg(parts[1]);
                return std::nullopt;
            }
            for (int t = 0; t < 3; ++t)
                s.terminals[size_t(t)] = char(parts[1][t].toLatin1());
            for (int ch = 0; ch < 2; ++ch) {
                const QString& current = parts[ch + 2];
                if (!parseCurrent(current, s.currentLines[size_t(ch)], s.reversed[size_t(ch)]) ||
                    current[1] == QLatin1Char('B')) {
                    error = QStringLiteral("\"%1\" is not a current of a two-element meter: +A, "
                                           "-A, +C or -C")
                                .arg(current);
                    return std::nullopt;
                }
            }
        }
        return s;
    }
    if (system == QLatin1String("3P4W")) {
        s.system = WiringScenario::FourWire;
        if (parts.size() > 4 || parts.size() == 3) {
            error = QStringLiteral("3p4w takes the elements and each channel's current, as in "
                                   "3p4w:12:+A:-B");
            return std::nullopt;
        }
        if (parts.size() >= 2) {
            const QString& e = parts[1];
            if (e != QLatin1String("12") && e != QLatin1String("23") && e != QLatin1String("31")) {
                error = QStringLiteral("the elements are 12, 23 or 31, not \"%1\"").arg(e);
                return std::nullopt;
            }
            s.elements = {e[0].digitValue(), e[1].digitValue()};
        }
        for (int ch = 0; ch < 2; ++ch)
            s.currentLines[size_t(ch)] = char('A' + s.elements[size_t(ch)] - 1);
        if (parts.size() == 4) {
            for (int ch = 0; ch < 2; ++ch) {
                if (!parseCurrent(parts[ch + 2], s.currentLines[size_t(ch)],
                                  s.reversed[size_t(ch)])) {
                    error =
                        QStringLiteral("\"%1\" is not a current: +A, -B, ...").arg(parts[ch + 2]);
                    return std::nullopt;
                }
            }
        }
        return s;
    }
    if (system == QLatin1String("GROUP")) {
        s.system = WiringScenario::Group;
        bool ok = parts.size() == 2;
        s.clock = ok ? parts[1].toInt(&ok) : 0;
        if (!ok || s.clock < 0 || s.clock > 11) {
            error = QStringLiteral("group takes a clock number from 0 to 11, as in group:11");
            return std::nullopt;
        }
        return s;
    }
    error = QStringLiteral("the system is 3p3w, 3p4w or group");
    return std::nullopt;
}

Measurement wiringMeasurement(const WiringScenario& s) {
    const double phaseVolts = s.lineVolts / std::sqrt(3.0);
    const bool negative = s.negativeSequence;
    const auto voltage = [&](char line) { return polar(phaseVolts, lineAngle(line, negative)); };
    const double phiC = s.loadAngleC.value_or(s.loadAngle);
    const double ampsC = s.amperesC.value_or(s.amperes);
    const auto line = [&](char l) {
        const Phasor a = polar(s.amperes, lineAngle('A', negative) - s.loadAngle);
        const Phasor c = polar(ampsC, lineAngle('C', negative) - phiC);
        if (l == 'A')
            return a;
        if (l == 'C')
            return c;
        // Three wires: what flows in on A and C flows back on B.
        return s.system == WiringScenario::ThreeWire
                   ? -a - c
                   : polar(s.amperes, lineAngle('B', negative) - s.loadAngle);
    };
    const auto current = [&](int ch) {
        const auto c = size_t(ch);
        const Phasor i = line(s.currentLines[c]);
        return s.reversed[c] ? -i : i;
    };
    Phasor u1, u2, i1, i2;
    switch (s.system) {
    case WiringScenario::ThreeWire:
        u1 = voltage(s.terminals[0]) - voltage(s.terminals[1]);
        u2 = voltage(s.terminals[2]) - voltage(s.terminals[1]);
        i1 = current(0);
        i2 = current(1);
        break;
    case WiringScenario::FourWire:
        u1 = voltage(char('A' + s.elements[0] - 1));
        u2 = voltage(char('A' + s.elements[1] - 1));
        i1 = current(0);
        i2 = current(1);
        break;
    case WiringScenario::Group:
        // Both sides shown at the same line voltage; only the displacement matters.
        u1 = polar(s.lineVolts, 0);
        u2 = polar(s.lineVolts, -30.0 * s.clock);
        i1 = polar(s.amperes, -s.loadAngle);
        i2 = polar(s.amperes, -30.0 * s.clock - s.loadAngle);
        break;
    }
    if (s.voltageReversed[0])
        u1 = -u1;
    if (s.voltageReversed[1])
        u2 = -u2;
    Measurement m;
    m.volts = {s.noVoltage[0] ? 0 : std::abs(u1), s.noVoltage[1] ? 0 : std::abs(u2)};
    m.amperes = {s.noCurrent[0] ? 0 : std::abs(i1), s.noCurrent[1] ? 0 : std::abs(i2)};
    m.degrees = {lag(u1, u2), lag(i1, i2), lag(u1, i1), lag(u2, i2)};
    m.hertz = 50;
    return m;
}

void addWiringOptions(QCommandLineParser& p) {
    p.addOptions({
        {QStringLiteral("wiring"),
         QStringLiteral("Send the live readings of a balanced installation wired this way: "
                        "3p3w:BAC:-C:+A (lines on voltage terminals 1 to 3, element 1's and 2's "
                        "current), 3p4w:12:+A:-B (the channels' elements and currents) or "
                        "group:11 (a transformer's clock number)."),
         QStringLiteral("scenario")},
        {QStringLiteral("load-angle"),
         QStringLiteral("With --wiring: the load angle in degrees, lagging positive (default 30)."),
         QStringLiteral("deg")},
        {QStringLiteral("line-voltage"),
         QStringLiteral("With --wiring: the line-to-line voltage (default 100)."),
         QStringLiteral("V")},
        {QStringLiteral("current"), QStringLiteral("With --wiring: the line current (default 5)."),
         QStringLiteral("A")},
        {QStringLiteral("reversed-vt"),
         QStringLiteral("With --wiring: the voltage transformer of element 1, 2 or both (12) "
                        "the wrong way round."),
         QStringLiteral("1|2|12")},
        {QStringLiteral("negative-sequence"),
         QStringLiteral("With --wiring: the supply turns the other way (A, C, B).")},
        {QStringLiteral("dead"),
         QStringLiteral("With --wiring: no voltage or no current on a channel, e.g. u2 or i1,i2."),
         QStringLiteral("u1|u2|i1|i2,...")},
        {QStringLiteral("load-angle-c"),
         QStringLiteral("With --wiring: phase C's own load angle, for an unbalanced load."),
         QStringLiteral("deg")},
        {QStringLiteral("current-c"),
         QStringLiteral("With --wiring: phase C's own current, for an unbalanced load."),
         QStringLiteral("A")},
    });
}

QString readWiringOptions(const QCommandLineParser& p, SimConfig& config) {
    const QString wiring = QStringLiteral("wiring");
    if (!p.isSet(wiring)) {
        for (const char* name : {"load-angle", "line-voltage", "current", "reversed-vt",
                                 "negative-sequence", "dead", "load-angle-c", "current-c"})
            if (p.isSet(QLatin1String(name)))
                return QStringLiteral("--%1 goes with --wiring.").arg(QLatin1String(name));
        return {};
    }
    if (config.live)
        return QStringLiteral("Give either --live or --wiring, not both.");
    QString error;
    auto scenario = parseWiringScenario(p.value(wiring), error);
    if (!scenario)
        return QStringLiteral("--wiring \"%1\": %2.").arg(p.value(wiring), error);
    const auto number = [&p](const char* name, double low, double high, double& out) {
        if (!p.isSet(QLatin1String(name)))
            return true;
        bool ok = false;
        const double v = p.value(QLatin1String(name)).toDouble(&ok);
        if (!ok || !(v >= low && v <= high))
            return false;
        out = v;
        return true;
    };
    if (!number("load-angle", -180, 180, scenario->loadAngle))
        return QStringLiteral("--load-angle takes degrees from -180 to 180.");
    if (!number("line-voltage", 0, 32767, scenario->lineVolts))
        return QStringLiteral("--line-voltage takes volts from 0 to 32767.");
    if (!number("current", 0, 327.67, scenario->amperes))
        return QStringLiteral("--current takes amperes from 0 to 327.67.");
    double c = 0;
    if (!number("load-angle-c", -180, 180, c))
        return QStringLiteral("--load-angle-c takes degrees from -180 to 180.");
    if (p.isSet(QStringLiteral("load-angle-c")))
        scenario->loadAngleC = c;
    if (!number("current-c", 0, 327.67, c))
        return QStringLiteral("--current-c takes amperes from 0 to 327.67.");
    if (p.isSet(QStringLiteral("current-c")))
        scenario->amperesC = c;
    if (p.isSet(QStringLiteral("reversed-vt"))) {
        const QString vt = p.value(QStringLiteral("reversed-vt"));
        if (vt != QLatin1String("1") && vt != QLatin1String("2") && vt != QLatin1String("12"))
            return QStringLiteral("--reversed-vt takes 1, 2 or 12, not \"%1\".").arg(vt);
        scenario->voltageReversed = {vt.contains(QLatin1Char('1')), vt.contains(QLatin1Char('2'))};
    }
    scenario->negativeSequence = p.isSet(QStringLiteral("negative-sequence"));
    if (p.isSet(QStringLiteral("dead"))) {
        for (const QString& d : p.value(QStringLiteral("dead")).toLower().split(QLatin1Char(','))) {
            const int ch = d.size() == 2 ? d[1].digitValue() - 1 : -1;
            if ((ch != 0 && ch != 1) || (d[0] != QLatin1Char('u') && d[0] != QLatin1Char('i')))
                return QStringLiteral("--dead takes u1, u2, i1 or i2, separated by commas, not "
                                      "\"%1\".")
                    .arg(d);
            (d[0] == QLatin1Char('u') ? scenario->noVoltage : scenario->noCurrent)[size_t(ch)] =
                true;
        }
    }
    config.live = encodeBlock(wiringMeasurement(*scenario));
    return {};
}

} // namespace pm::sim
