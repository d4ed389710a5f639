#include "analysis/WiringCheck.h"

#include "protocol/Fmtval.h"
#include "protocol/Reading.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pm {

namespace {

// The panel's own thresholds: below them a channel shows no powers.
constexpr double kMinVolts = 10;
constexpr double kMinAmperes = 0.02;
// Two voltages or currents further apart than this are not a balanced load.
constexpr double kMaxImbalance = 0.20;
// Comparisons of angles read to a tenth of a degree.
constexpr double kSlack = 1e-9;

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

bool within(double value, double limit) {
    return std::abs(value) <= limit + kSlack;
}

bool inRange(double phi, const LoadRange& range) {
    return phi >= range.min - kSlack && phi <= range.max + kSlack;
}

// Residuals equal to far below the meter's resolution are ties, decided by fewer faults.
double residualKey(double residual) {
    return std::round(residual * 1e6);
}

QString elementLabel(const WiringSettings& s, int ch) {
    if (s.system == WiringSystem::FourWire)
        return QString::number(ch == 0 ? s.firstElement : s.secondElement());
    return QString::number(ch + 1);
}

QString percent(double fraction) {
    return fmtval(float(fraction * 100), 0) + QLatin1Char('%');
}

QStringList sanityNotes(const WiringReading& r, const WiringSettings& s) {
    QStringList notes;
    const bool group = s.system == WiringSystem::VectorGroup;
    std::array<bool, 2> voltage{}, current{};
    for (int ch = 0; ch < 2; ++ch) {
        voltage[size_t(ch)] = r.volts[size_t(ch)] >= kMinVolts;
        current[size_t(ch)] = r.amperes[size_t(ch)] >= kMinAmperes;
        if (!voltage[size_t(ch)])
            notes << QStringLiteral("No voltage on element %1").arg(elementLabel(s, ch));
        else if (!group && !current[size_t(ch)])
            notes << QStringLiteral("No current on element %1").arg(elementLabel(s, ch));
    }
    // A transformer's two sides differ in voltage by design, and it needs no currents.
    if (group)
        return notes;
    auto imbalance = [](const std::array<double, 2>& v) {
        return std::abs(v[0] - v[1]) / std::max(v[0], v[1]);
    };
    if (voltage[0] && voltage[1] && imbalance(r.volts) > kMaxImbalance)
        notes << QStringLiteral("Voltages differ by %1: unbalanced, the answer assumes balance")
                     .arg(percent(imbalance(r.volts)));
    if (current[0] && current[1] && imbalance(r.amperes) > kMaxImbalance)
        notes << QStringLiteral("Currents differ by %1: unbalanced, the answer assumes balance")
                     .arg(percent(imbalance(r.amperes)));
    return notes;
}

std::vector<ThreeWireMatch> fitThreeWire(const MeterAngles& a, const WiringSettings& s) {
    std::vector<ThreeWireMatch> matches;
    for (const ThreeWireConnection& c : threeWireConnections()) {
        if (s.commonTerminal != 0 && c.commonTerminal() != s.commonTerminal)
            continue;
        const MeterAngles model = threeWireAngles(c, 0);
        const double phi1 = wrap180(a.u1i1 - model.u1i1);
        const double phi2 = wrap180(a.u2i2 - model.u2i2);
        const double spread = wrap180(phi2 - phi1);
        const double voltageMiss = wrap180(a.u1u2 - model.u1u2);
        if (!within(spread, s.tolerance) || !within(voltageMiss, s.tolerance))
            continue;
        const double phi = wrap180(phi1 + spread / 2);
        if (!inRange(phi, s.loadRange))
            continue;
        ThreeWireMatch m;
        m.connection = c;
        m.loadAngle = phi;
        m.residual = std::sqrt(spread * spread / 2 + voltageMiss * voltageMiss);
        // A meter wired right registers the real energy, balanced or not.
        m.k = c.correct() ? std::optional<double>(1.0) : correctionFactor(a.u1i1, a.u2i2, phi);
        matches.push_back(m);
    }
    std::stable_sort(matches.begin(), matches.end(), [](const auto& x, const auto& y) {
        const double kx = residualKey(x.residual), ky = residualKey(y.residual);
        return kx != ky ? kx < ky : x.connection.faults() < y.connection.faults();
    });
    return matches;
}

std::vector<FourWireMatch> fitFourWire(const MeterAngles& a, const WiringSettings& s) {
    struct Tap {
        PhaseTap tap;
        bool reversed;
    };
    const Tap taps[] = {{PhaseTap::Own, false},     {PhaseTap::Own, true},
                        {PhaseTap::Lagging, false}, {PhaseTap::Leading, false},
                        {PhaseTap::Lagging, true},  {PhaseTap::Leading, true}};
    const std::array<double, 2> theta{a.u1i1, a.u2i2};
    std::vector<FourWireMatch> matches;
    for (const Tap& t1 : taps) {
        for (const Tap& t2 : taps) {
            FourWireMatch m;
            const Tap chosen[] = {t1, t2};
            for (size_t ch = 0; ch < 2; ++ch) {
                m.channels[ch].tap = chosen[ch].tap;
                m.channels[ch].reversed = chosen[ch].reversed;
                m.channels[ch].loadAngle =
                    wrap180(theta[ch] - fourWirePowerAngle(chosen[ch].tap, chosen[ch].reversed, 0));
            }
            const double spread = wrap180(m.channels[1].loadAngle - m.channels[0].loadAngle);
            if (!within(spread, s.tolerance))
                continue;
            m.loadAngle = wrap180(m.channels[0].loadAngle + spread / 2);
            if (!inRange(m.loadAngle, s.loadRange))
                continue;
            m.residual = std::abs(spread) / std::numbers::sqrt2;
            const double cosPhi = std::cos(radians(m.loadAngle));
            for (size_t ch = 0; ch < 2; ++ch)
                if (std::abs(cosPhi) > 1e-6)
                    m.channels[ch].share = std::cos(radians(theta[ch])) / cosPhi;
            matches.push_back(m);
        }
    }
    std::stable_sort(matches.begin(), matches.end(), [](const auto& x, const auto& y) {
        const double kx = residualKey(x.residual), ky = residualKey(y.residual);
        return kx != ky ? kx < ky : x.faults() < y.faults();
    });
    return matches;
}

Sequence sequenceOf(double u1u2, double positive, double tolerance) {
    if (within(wrap180(u1u2 - positive), tolerance))
        return Sequence::Positive;
    if (within(wrap180(u1u2 + positive), tolerance))
        return Sequence::Negative;
    return Sequence::Unknown;
}

ChannelPower channelPower(const WiringReading& r, int ch) {
    const auto c = size_t(ch);
    const double theta = radians(ch == 0 ? r.angles.u1i1 : r.angles.u2i2);
    const double sine = std::sin(theta), cosine = std::cos(theta);
    ChannelPower p;
    p.signal = r.volts[c] >= kMinVolts && r.amperes[c] >= kMinAmperes;
    p.character = std::abs(sine) < 0.05 ? LoadCharacter::Resistive
                  : sine > 0            ? LoadCharacter::Inductive
                                        : LoadCharacter::Capacitive;
    // At 90° and 270° exactly no power flows either way (the cosine is then about 1e-16).
    p.flowsBack = cosine < -kSlack;
    // The panel shows P and Q without their signs; the power angle gives them back.
    if (p.signal) {
        p.p = (cosine < 0 && r.activePower[c] != 0) ? -r.activePower[c] : r.activePower[c];
        p.q = (sine < 0 && r.reactivePower[c] != 0) ? -r.reactivePower[c] : r.reactivePower[c];
    }
    return p;
}

} // namespace

WiringReading WiringReading::fromTexts(const ReadingTexts& texts) {
    const auto value = [&texts](Field f) { return textValue(texts.text(f)); };
    WiringReading r;
    for (int ch = 0; ch < 2; ++ch) {
        const auto c = size_t(ch);
        r.volts[c] = value(voltageField(ch));
        r.amperes[c] = value(currentField(ch));
        r.activePower[c] = value(activeField(ch));
        r.reactivePower[c] = value(reactiveField(ch));
    }
    r.angles = {wrap360(value(Field::PhaseU1U2)), wrap360(value(Field::PhaseI1I2)),
                wrap360(value(Field::PhaseU1I1)), wrap360(value(Field::PhaseU2I2))};
    return r;
}

int FourWireMatch::faults() const {
    int n = 0;
    for (const FourWireChannel& c : channels)
        n += int(c.tap != PhaseTap::Own) + int(c.reversed);
    return n;
}

QString WiringResult::bestKey() const {
    switch (settings.system) {
    case WiringSystem::ThreeWire:
        return threeWire.empty() ? QStringLiteral("3p3w none")
                                 : QStringLiteral("3p3w ") + threeWire.front().connection.name();
    case WiringSystem::FourWire: {
        if (fourWire.empty())
            return QStringLiteral("3p4w none");
        QString key = QStringLiteral("3p4w %1").arg(int(sequence));
        for (const FourWireChannel& c : fourWire.front().channels)
            key += QStringLiteral(" %1%2").arg(int(c.tap)).arg(c.reversed ? '-' : '+');
        return key;
    }
    case WiringSystem::VectorGroup:
        return QStringLiteral("group %1").arg(group ? group->clock : -1);
    }
    return {};
}

std::optional<double> correctionFactor(double theta1, double theta2, double phi) {
    const double real = std::sqrt(3.0) * std::cos(radians(phi));
    const double registered = std::cos(radians(theta1)) + std::cos(radians(theta2));
    if (registered == 0 || std::abs(registered) < 0.01 * std::abs(real))
        return std::nullopt;
    return real / registered;
}

VectorGroupResult vectorGroup(double u1u2) {
    VectorGroupResult g;
    g.angle = wrap360(u1u2);
    // Half-way angles go up, as the panel rounds: 15.0° is clock 1, 345.0° clock 0.
    g.clock = int(std::floor(g.angle / 30 + 0.5)) % 12;
    g.deviation = wrap180(g.angle - 30.0 * g.clock);
    return g;
}

WiringResult checkWiring(const WiringReading& reading, const WiringSettings& settings) {
    WiringResult result;
    result.settings = settings;
    result.notes = sanityNotes(reading, settings);
    for (int ch = 0; ch < 2; ++ch)
        result.channels[size_t(ch)] = channelPower(reading, ch);
    result.totalP = result.channels[0].p + result.channels[1].p;
    const MeterAngles& a = reading.angles;
    switch (settings.system) {
    case WiringSystem::ThreeWire:
        result.threeWire = fitThreeWire(a, settings);
        result.sequence =
            result.threeWire.empty()
                ? sequenceOf(a.u1u2, 300, settings.tolerance)
                : (result.threeWire.front().connection.positiveSequence() ? Sequence::Positive
                                                                          : Sequence::Negative);
        break;
    case WiringSystem::FourWire:
        result.fourWire = fitFourWire(a, settings);
        result.sequence = sequenceOf(a.u1u2, 120, settings.tolerance);
        break;
    case WiringSystem::VectorGroup:
        result.group = vectorGroup(a.u1u2);
        break;
    }
    if (settings.system != WiringSystem::VectorGroup && !result.matched())
        result.notes << QStringLiteral("No standard connection explains these angles");
    return result;
}

} // namespace pm
