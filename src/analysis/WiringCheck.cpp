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
// The two elements' load angles further apart than this are not a balanced load.
constexpr double kMaxAngleSpread = 5;
// Comparisons of angles read to a tenth of a degree.
constexpr double kSlack = 1e-9;

double radians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

bool within(double value, double limit) {
    return std::abs(value) <= limit + kSlack;
}

// Residuals equal to far below the meter's resolution are ties, decided by fewer faults.
double residualKey(double residual) {
    return std::round(residual * 1e6);
}

QString percent(double fraction) {
    return fmtval(float(fraction * 100), 0) + QLatin1Char('%');
}

QString degreesText(double value) {
    return fmtval(float(value), 1) + QStringLiteral("\u00B0");
}

const QString kUnbalanced =
    QStringLiteral("the load is unbalanced; K is exact, the connection found less certain");

double imbalance(const std::array<double, 2>& v) {
    return std::abs(v[0] - v[1]) / std::max(v[0], v[1]);
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
    if (voltage[0] && voltage[1] && imbalance(r.volts) > kMaxImbalance)
        notes << QStringLiteral("Voltages differ by %1: %2")
                     .arg(percent(imbalance(r.volts)),
                          QStringLiteral("the supply is unbalanced; K is exact, the connection "
                                         "found less certain"));
    if (current[0] && current[1] && imbalance(r.amperes) > kMaxImbalance)
        notes << QStringLiteral("Currents differ by %1: %2")
                     .arg(percent(imbalance(r.amperes)), kUnbalanced);
    // I2 lags I1 by as much as U2 lags U1, plus I2 lags U2, less I1 lags U1, whatever the wiring.
    const double implied = wrap360(r.angles.u1u2 + r.angles.u2i2 - r.angles.u1i1);
    if (voltage[0] && voltage[1] && current[0] && current[1] &&
        !within(wrap180(r.angles.i1i2 - implied), s.tolerance))
        notes << QStringLiteral("I1I2 is %1, the other angles imply %2: check the current clamps")
                     .arg(degreesText(r.angles.i1i2), degreesText(implied));
    return notes;
}

double currentAngleMiss(const MeterAngles& a) {
    return wrap180(a.i1i2 - wrap360(a.u1u2 + a.u2i2 - a.u1i1));
}

struct Fit {
    double phi = 0;
    double spread = 0;
    double residual = 0;
};

// The load angle that brings the reading nearest to connection `c`, if within the tolerance.
std::optional<Fit> fitConnection(const MeterAngles& a, const ThreeWireConnection& c,
                                 double tolerance) {
    const MeterAngles model = threeWireAngles(c, 0);
    const double phi1 = wrap180(a.u1i1 - model.u1i1);
    const double phi2 = wrap180(a.u2i2 - model.u2i2);
    const double spread = wrap180(phi2 - phi1);
    const double voltageMiss = wrap180(a.u1u2 - model.u1u2);
    if (!within(spread, tolerance) || !within(voltageMiss, tolerance))
        return std::nullopt;
    const double currentMiss = currentAngleMiss(a);
    return Fit{
        wrap180(phi1 + spread / 2), spread,
        std::sqrt(spread * spread / 2 + voltageMiss * voltageMiss + currentMiss * currentMiss)};
}

ThreeWireMatch threeWireMatch(const WiringReading& r, const ThreeWireConnection& c, const Fit& fit,
                              double loadAngle) {
    ThreeWireMatch m;
    m.connection = c;
    m.loadAngle = loadAngle;
    m.residual = fit.residual;
    m.spread = fit.spread;
    m.k = exactCorrectionFactor(c, r);
    return m;
}

template <typename Match, typename Faults>
void sortMatches(std::vector<Match>& matches, Faults faults) {
    std::stable_sort(matches.begin(), matches.end(), [&](const Match& x, const Match& y) {
        const double kx = residualKey(x.residual), ky = residualKey(y.residual);
        return kx != ky ? kx < ky : faults(x) < faults(y);
    });
}

void fitThreeWire(const WiringReading& r, WiringResult& result) {
    const WiringSettings& s = result.settings;
    std::vector<ThreeWireMatch> outside;
    for (const ThreeWireConnection& c : threeWireHypotheses()) {
        if (s.commonTerminal != 0 && c.commonTerminal() != s.commonTerminal)
            continue;
        const std::optional<Fit> fit = fitConnection(r.angles, c, s.tolerance);
        if (!fit)
            continue;
        if (s.loadRange.contains(fit->phi))
            result.threeWire.push_back(threeWireMatch(r, c, *fit, s.loadRange.shown(fit->phi)));
        else
            outside.push_back(threeWireMatch(r, c, *fit, fit->phi));
    }
    const auto faults = [](const ThreeWireMatch& m) { return m.connection.faults(); };
    sortMatches(result.threeWire, faults);
    if (!result.threeWire.empty() || outside.empty())
        return;
    // The nearest to the range the user gave, as the likeliest load they did not expect.
    std::stable_sort(outside.begin(), outside.end(), [&](const auto& x, const auto& y) {
        const double dx = std::round(s.loadRange.distance(x.loadAngle) * 10);
        const double dy = std::round(s.loadRange.distance(y.loadAngle) * 10);
        if (dx != dy)
            return dx < dy;
        const double kx = residualKey(x.residual), ky = residualKey(y.residual);
        return kx != ky ? kx < ky : x.connection.faults() < y.connection.faults();
    });
    result.nearMiss = outside.front();
}

// The phase (0 to 2 for A to C) of a four-wire element.
int phaseOf(int element) {
    return element - 1;
}

std::vector<FourWireMatch> fitFourWire(const MeterAngles& a, const WiringSettings& s,
                                       Sequence sequence) {
    struct Tap {
        PhaseTap tap;
        bool reversed;
    };
    const Tap taps[] = {{PhaseTap::Own, false},     {PhaseTap::Own, true},
                        {PhaseTap::Lagging, false}, {PhaseTap::Leading, false},
                        {PhaseTap::Lagging, true},  {PhaseTap::Leading, true}};
    const std::array<double, 2> theta{a.u1i1, a.u2i2};
    const std::array<int, 2> own{phaseOf(s.firstElement), phaseOf(s.secondElement())};
    // Voltages in negative sequence are the two elements' voltages swapped: each channel's
    // current is then measured against the other element's phase.
    const bool swapped = sequence == Sequence::Negative;
    const std::array<int, 2> voltagePhase = swapped ? std::array<int, 2>{own[1], own[0]} : own;
    std::vector<FourWireMatch> matches;
    for (const Tap& t1 : taps) {
        for (const Tap& t2 : taps) {
            FourWireMatch m;
            m.voltagesSwapped = swapped;
            const Tap chosen[] = {t1, t2};
            for (size_t ch = 0; ch < 2; ++ch) {
                FourWireChannel& c = m.channels[ch];
                c.reversed = chosen[ch].reversed;
                c.loadAngle =
                    wrap180(theta[ch] - fourWirePowerAngle(chosen[ch].tap, chosen[ch].reversed, 0));
                // The current's phase, named against the element's own phase.
                const int shift = chosen[ch].tap == PhaseTap::Own       ? 0
                                  : chosen[ch].tap == PhaseTap::Lagging ? 1
                                                                        : 2;
                const int line = (voltagePhase[ch] + shift) % 3;
                const int relative = (line - own[ch] + 3) % 3;
                c.tap = relative == 0   ? PhaseTap::Own
                        : relative == 1 ? PhaseTap::Lagging
                                        : PhaseTap::Leading;
            }
            const double spread = wrap180(m.channels[1].loadAngle - m.channels[0].loadAngle);
            if (!within(spread, s.tolerance))
                continue;
            const double phi = wrap180(m.channels[0].loadAngle + spread / 2);
            if (!s.loadRange.contains(phi))
                continue;
            m.loadAngle = s.loadRange.shown(phi);
            m.residual = std::sqrt(spread * spread / 2 + std::pow(currentAngleMiss(a), 2));
            const double cosPhi = std::cos(radians(m.loadAngle));
            for (size_t ch = 0; ch < 2; ++ch)
                if (std::abs(cosPhi) > 1e-6)
                    m.channels[ch].share = std::cos(radians(theta[ch])) / cosPhi;
            matches.push_back(m);
        }
    }
    sortMatches(matches, [](const FourWireMatch& m) { return m.faults(); });
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
    const double angle = ch == 0 ? r.angles.u1i1 : r.angles.u2i2;
    const double theta = radians(angle);
    const double sine = std::sin(theta), cosine = std::cos(theta);
    ChannelPower p;
    p.signal = r.volts[c] >= kMinVolts && r.amperes[c] >= kMinAmperes;
    p.angle = angle;
    // At 90° and 270° exactly no power flows either way (the cosine is then about 1e-16).
    p.flowsBack = cosine < -kSlack;
    // The panel shows P and Q without their signs; the power angle gives them back.
    if (p.signal) {
        p.p = (cosine < 0 && r.activePower[c] != 0) ? -r.activePower[c] : r.activePower[c];
        p.q = (sine < 0 && r.reactivePower[c] != 0) ? -r.reactivePower[c] : r.reactivePower[c];
    }
    return p;
}

// No voltage or no current on a channel: the angles of that channel mean nothing, so nothing is
// fitted; the live element, taken as wired right on a balanced load, still gives K.
std::optional<DeadElement> deadElement(const WiringReading& r, const WiringSettings& s) {
    DeadElement d;
    bool any = false;
    for (size_t ch = 0; ch < 2; ++ch) {
        d.noVoltage[ch] = r.volts[ch] < kMinVolts;
        d.noCurrent[ch] = s.system != WiringSystem::VectorGroup && r.amperes[ch] < kMinAmperes;
        any = any || d.noVoltage[ch] || d.noCurrent[ch];
        if (!d.noVoltage[ch] && !d.noCurrent[ch])
            d.live = int(ch);
    }
    if (!any)
        return std::nullopt;
    if (d.live < 0 || s.system != WiringSystem::ThreeWire)
        return d;
    const double theta = d.live == 0 ? r.angles.u1i1 : r.angles.u2i2;
    const MeterAngles right = threeWireAngles(ThreeWireConnection{}, 0);
    d.loadAngle = wrap180(theta - (d.live == 0 ? right.u1i1 : right.u2i2));
    const double real = std::sqrt(3.0) * std::cos(radians(d.loadAngle));
    d.k = correctionFactorOf(real, std::cos(radians(theta)));
    return d;
}

} // namespace

WiringReading WiringReading::fromTexts(const ReadingTexts& texts) {
    return fromValues([&texts](Field f) { return textValue(texts.text(f)); });
}

WiringReading WiringReading::fromValues(const std::function<double(Field)>& value) {
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

int elementOf(const WiringSettings& s, int channel) {
    if (s.system == WiringSystem::FourWire)
        return channel == 0 ? s.firstElement : s.secondElement();
    return channel + 1;
}

QString elementLabel(const WiringSettings& s, int channel) {
    return QString::number(elementOf(s, channel));
}

int FourWireMatch::faults() const {
    int n = 0;
    for (const FourWireChannel& c : channels)
        n += int(c.tap != PhaseTap::Own) + int(c.reversed);
    return n;
}

bool WiringResult::unique() const {
    if (settings.system == WiringSystem::VectorGroup)
        return group.has_value();
    return threeWire.size() + fourWire.size() == 1;
}

QString WiringResult::matchKey(size_t n) const {
    switch (settings.system) {
    case WiringSystem::ThreeWire:
        return n < threeWire.size() ? QStringLiteral("3p3w ") + threeWire[n].connection.name()
                                    : QStringLiteral("3p3w none");
    case WiringSystem::FourWire: {
        if (n >= fourWire.size())
            return QStringLiteral("3p4w none");
        QString key = QStringLiteral("3p4w %1").arg(int(sequence));
        for (const FourWireChannel& c : fourWire[n].channels)
            key += QStringLiteral(" %1%2").arg(int(c.tap)).arg(c.reversed ? '-' : '+');
        return key;
    }
    case WiringSystem::VectorGroup:
        return QStringLiteral("group %1").arg(group ? group->clock : -1);
    }
    return {};
}

QString WiringResult::bestKey() const {
    if (dead)
        return QStringLiteral("dead %1%2%3%4")
            .arg(int(dead->noVoltage[0]))
            .arg(int(dead->noVoltage[1]))
            .arg(int(dead->noCurrent[0]))
            .arg(int(dead->noCurrent[1]));
    return matchKey(0);
}

void WiringResult::holdFirst(const QString& key) {
    const size_t count = threeWire.size() + fourWire.size();
    for (size_t n = 1; n < count; ++n) {
        if (matchKey(n) != key)
            continue;
        if (!threeWire.empty())
            std::rotate(threeWire.begin(), threeWire.begin() + long(n),
                        threeWire.begin() + long(n) + 1);
        else
            std::rotate(fourWire.begin(), fourWire.begin() + long(n),
                        fourWire.begin() + long(n) + 1);
        return;
    }
}

bool LoadRange::contains(double phi) const {
    const double span = max - min;
    const double d = wrap360(phi - min);
    return d <= span + kSlack || d >= 360 - kSlack;
}

double LoadRange::shown(double phi) const {
    const double d = wrap360(phi - min);
    return d >= 360 - kSlack ? min : min + d;
}

double LoadRange::distance(double phi) const {
    if (contains(phi))
        return 0;
    return std::min(wrap360(min - phi), wrap360(phi - max));
}

LoadCharacter loadCharacter(double phi) {
    const double sine = std::sin(radians(phi));
    return std::abs(sine) < 0.05 ? LoadCharacter::Resistive
           : sine > 0            ? LoadCharacter::Inductive
                                 : LoadCharacter::Capacitive;
}

std::optional<double> correctionFactor(double theta1, double theta2, double phi) {
    return correctionFactorOf(std::sqrt(3.0) * std::cos(radians(phi)),
                              std::cos(radians(theta1)) + std::cos(radians(theta2)));
}

std::optional<double> correctionFactorOf(double truePower, double registered) {
    if (registered == 0 || std::abs(registered) < 0.01 * std::abs(truePower))
        return std::nullopt;
    return truePower / registered;
}

std::optional<double> exactCorrectionFactor(const ThreeWireConnection& c, const WiringReading& r) {
    // Such a meter registers the real energy by construction, balanced or not.
    if (c.registersRight())
        return 1.0;
    const MeasuredPhasors m = measuredPhasors(r.angles, r.volts, r.amperes);
    const double registered = registeredPower(m);
    // Far below what the panel resolves: the meter stands still.
    if (std::abs(registered) < 1e-9 * (r.volts[0] * r.amperes[0] + r.volts[1] * r.amperes[1]))
        return std::nullopt;
    return correctionFactorOf(trueThreeWirePower(c, m), registered);
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
    result.dead = deadElement(reading, settings);
    if (result.dead) {
        // U1U2 means something only with both voltages there.
        if (settings.system != WiringSystem::VectorGroup && !result.dead->noVoltage[0] &&
            !result.dead->noVoltage[1])
            result.sequence = sequenceOf(
                a.u1u2, settings.system == WiringSystem::ThreeWire ? 300 : 120, settings.tolerance);
        return result;
    }
    switch (settings.system) {
    case WiringSystem::ThreeWire:
        fitThreeWire(reading, result);
        if (result.threeWire.empty())
            result.sequence = sequenceOf(a.u1u2, 300, settings.tolerance);
        else
            result.sequence = result.threeWire.front().connection.positiveSequence()
                                  ? Sequence::Positive
                                  : Sequence::Negative;
        if (!result.threeWire.empty() &&
            std::abs(result.threeWire.front().spread) > kMaxAngleSpread + kSlack)
            result.notes << QStringLiteral("The elements imply load angles %1 apart: %2")
                                .arg(degreesText(std::abs(result.threeWire.front().spread)),
                                     kUnbalanced);
        break;
    case WiringSystem::FourWire:
        result.sequence = sequenceOf(a.u1u2, 120, settings.tolerance);
        result.fourWire = fitFourWire(a, settings, result.sequence);
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
