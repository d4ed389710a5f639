#include "analysis/WiringVerdict.h"

#include "protocol/Fmtval.h"

#include <cmath>
#include <numbers>

namespace pm {

namespace {

const QString kDegree = QStringLiteral("\u00B0");
const QString kMinus = QStringLiteral("\u2212");

QString degrees(double value) {
    return fmtval(float(value), 1) + kDegree;
}

QString sentence(const QString& text) {
    return text + QLatin1Char('.');
}

// The phase of a four-wire element: 1 is A, 2 is B, 3 is C.
char elementPhase(int element) {
    return char('A' + (element - 1));
}

// The phase whose current an element gets: its own, the next in sequence (it lags by 120°) or
// the one before (it leads).
char tappedPhase(int element, PhaseTap tap) {
    const int own = element - 1;
    const int shift = tap == PhaseTap::Own ? 0 : tap == PhaseTap::Lagging ? 1 : 2;
    return char('A' + (own + shift) % 3);
}

QString energySentence(const std::optional<double>& k) {
    if (!k)
        return QStringLiteral("The meter stands still: it registers none of the energy.");
    // At a load angle of ±90° there is no real energy to register a share of.
    if (std::abs(*k) < 0.0005)
        return QStringLiteral("There is no real energy, yet the meter registers some: K = 0.000.");
    if (*k < 0)
        return QStringLiteral("The meter runs backwards: K = %1.").arg(fmtval(float(*k), 3));
    return QStringLiteral("The meter registers %1% of the energy: K = %2.")
        .arg(fmtval(float(100 / *k), 1), fmtval(float(*k), 3));
}

QString currentFaults(const ThreeWireConnection& c) {
    const QString names =
        QStringLiteral("(I1 = %1, I2 = %2)").arg(c.i1.phasorName(), c.i2.phasorName());
    if (c.i1.line == 'A') {
        if (c.i1.reversed && c.i2.reversed)
            return QStringLiteral("Both element currents reversed ") + names;
        if (c.i1.reversed)
            return QStringLiteral("Element 1 current reversed (I1 = %1)").arg(c.i1.phasorName());
        if (c.i2.reversed)
            return QStringLiteral("Element 2 current reversed (I2 = %1)").arg(c.i2.phasorName());
        return {};
    }
    if (c.i1.reversed && c.i2.reversed)
        return QStringLiteral("Element currents swapped and both reversed ") + names;
    if (c.i1.reversed)
        return QStringLiteral("Element currents swapped, element 1's reversed ") + names;
    if (c.i2.reversed)
        return QStringLiteral("Element currents swapped, element 2's reversed ") + names;
    return QStringLiteral("Element currents swapped ") + names;
}

QString threeWireVerdict(const WiringResult& r) {
    if (r.threeWire.empty())
        return QStringLiteral("No standard connection explains these angles.");
    const ThreeWireMatch& best = r.threeWire.front();
    const ThreeWireConnection& c = best.connection;
    if (c.correct())
        return QStringLiteral("Correct connection, positive sequence. %1. K = 1.000.")
            .arg(loadAngleText(best.loadAngle));
    QStringList parts;
    if (c.terminals != ThreeWireConnection{}.terminals) {
        const QString t = c.terminalText();
        parts << sentence(QStringLiteral("Voltage terminals 1, 2, 3 carry lines %1, %2, %3, not "
                                         "A, B, C (%4 sequence)")
                              .arg(t[0])
                              .arg(t[1])
                              .arg(t[2])
                              .arg(sequenceName(r.sequence)));
    }
    const QString currents = currentFaults(c);
    if (!currents.isEmpty())
        parts << sentence(currents);
    parts << energySentence(best.k);
    return parts.join(QLatin1Char(' '));
}

QString fourWireChannelFault(const WiringSettings& s, const FourWireChannel& c, int ch) {
    const int element = ch == 0 ? s.firstElement : s.secondElement();
    const QString name =
        QStringLiteral("I%1 = %2").arg(ch + 1).arg(fourWireCurrent(s, ch, c).phasorName());
    if (c.tap == PhaseTap::Own)
        return QStringLiteral("Element %1 current reversed (%2)").arg(element).arg(name);
    const QString which = c.tap == PhaseTap::Lagging ? QStringLiteral("the phase that lags")
                                                     : QStringLiteral("the phase that leads");
    return QStringLiteral("Element %1 gets the %2current of %3 (%4)")
        .arg(element)
        .arg(c.reversed ? QStringLiteral("reversed ") : QString(), which, name);
}

QString shareText(const std::optional<double>& share) {
    return share ? fmtval(float(*share * 100), 1) + QLatin1Char('%') : QStringLiteral("none");
}

QString fourWireVerdict(const WiringResult& r) {
    const WiringSettings& s = r.settings;
    if (r.fourWire.empty())
        return QStringLiteral("No standard connection explains these angles.");
    const FourWireMatch& best = r.fourWire.front();
    if (best.faults() == 0 && r.sequence == Sequence::Positive)
        return QStringLiteral("Correct connection, positive sequence. %1.")
            .arg(loadAngleText(best.loadAngle));
    QStringList parts;
    if (r.sequence == Sequence::Negative)
        parts << QStringLiteral("Negative sequence: the voltages of elements %1 and %2 are "
                                "swapped.")
                     .arg(s.firstElement)
                     .arg(s.secondElement());
    else if (r.sequence == Sequence::Unknown)
        parts << QStringLiteral("The two voltages are not two phases of one supply.");
    for (int ch = 0; ch < 2; ++ch)
        if (!best.channels[size_t(ch)].correct())
            parts << sentence(fourWireChannelFault(s, best.channels[size_t(ch)], ch));
    parts << sentence(loadAngleText(best.loadAngle));
    parts << QStringLiteral("Element %1 registers %2 of its energy, element %3 %4.")
                 .arg(s.firstElement)
                 .arg(shareText(best.channels[0].share))
                 .arg(s.secondElement())
                 .arg(shareText(best.channels[1].share));
    return parts.join(QLatin1Char(' '));
}

QString groupVerdict(const WiringResult& r) {
    const VectorGroupResult& g = *r.group;
    const QString deviation =
        (g.deviation > 0 ? QStringLiteral("+") : QString()) + degrees(g.deviation);
    return QStringLiteral("Vector group clock number %1: U2 lags U1 by %2, %3 from %4.")
        .arg(g.clock)
        .arg(degrees(g.angle), deviation, degrees(30.0 * g.clock));
}

QString signedPower(double value) {
    return fmtval(float(value), 4);
}

} // namespace

QString systemName(const WiringSettings& s) {
    switch (s.system) {
    case WiringSystem::ThreeWire:
        return QStringLiteral("Three-phase three-wire, two elements");
    case WiringSystem::FourWire:
        return QStringLiteral("Three-phase four-wire, elements %1 and %2")
            .arg(s.firstElement)
            .arg(s.secondElement());
    case WiringSystem::VectorGroup:
        return QStringLiteral("Transformer vector group");
    }
    return {};
}

QString sequenceName(Sequence sequence) {
    switch (sequence) {
    case Sequence::Positive:
        return QStringLiteral("positive");
    case Sequence::Negative:
        return QStringLiteral("negative");
    case Sequence::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString characterName(LoadCharacter character) {
    switch (character) {
    case LoadCharacter::Inductive:
        return QStringLiteral("inductive");
    case LoadCharacter::Capacitive:
        return QStringLiteral("capacitive");
    case LoadCharacter::Resistive:
        break;
    }
    return QStringLiteral("resistive");
}

QString loadAngleText(double phi) {
    const QString shown = fmtval(float(std::abs(phi)), 1);
    QString text = QStringLiteral("Load angle ") + shown + kDegree;
    if (shown != QLatin1String("0.0"))
        text += phi > 0 ? QStringLiteral(" lagging") : QStringLiteral(" leading");
    const double pf = std::cos(phi * std::numbers::pi / 180);
    return text + QStringLiteral(" (PF %1)").arg(fmtval(float(pf), 3));
}

QString correctionText(const std::optional<double>& k) {
    return k ? fmtval(float(*k), 3) : QStringLiteral("stands still");
}

CurrentTap fourWireCurrent(const WiringSettings& s, int channel, const FourWireChannel& c) {
    const int element = channel == 0 ? s.firstElement : s.secondElement();
    return {tappedPhase(element, c.tap), c.reversed};
}

QString wiringVerdict(const WiringResult& r) {
    switch (r.settings.system) {
    case WiringSystem::ThreeWire:
        return threeWireVerdict(r);
    case WiringSystem::FourWire:
        return fourWireVerdict(r);
    case WiringSystem::VectorGroup:
        return groupVerdict(r);
    }
    return {};
}

QStringList otherMatchLines(const WiringResult& r) {
    QStringList lines;
    for (size_t n = 1; n < r.threeWire.size(); ++n) {
        const ThreeWireMatch& m = r.threeWire[n];
        lines << QStringLiteral("%1: %2, K = %3")
                     .arg(m.connection.name(), loadAngleText(m.loadAngle), correctionText(m.k));
    }
    for (size_t n = 1; n < r.fourWire.size(); ++n) {
        const FourWireMatch& m = r.fourWire[n];
        QStringList names;
        for (int ch = 0; ch < 2; ++ch)
            names << QStringLiteral("I%1 = %2")
                         .arg(ch + 1)
                         .arg(fourWireCurrent(r.settings, ch, m.channels[size_t(ch)]).phasorName());
        lines << names.join(QStringLiteral(", ")) + QStringLiteral(": ") +
                     loadAngleText(m.loadAngle);
    }
    return lines;
}

QStringList channelLines(const WiringResult& r) {
    QStringList lines;
    const bool group = r.settings.system == WiringSystem::VectorGroup;
    for (int ch = 0; ch < 2; ++ch) {
        const int element = r.settings.system == WiringSystem::FourWire
                                ? (ch == 0 ? r.settings.firstElement : r.settings.secondElement())
                                : ch + 1;
        const QString who = group ? QStringLiteral("Channel %1").arg(ch + 1)
                                  : QStringLiteral("Element %1").arg(element);
        const ChannelPower& c = r.channels[size_t(ch)];
        if (!c.signal) {
            lines << who + QStringLiteral(": no signal");
            continue;
        }
        lines << QStringLiteral("%1: %2, P = %3 kW, Q = %4 kvar%5")
                     .arg(who, characterName(c.character), signedPower(c.p), signedPower(c.q),
                          c.flowsBack ? QStringLiteral(", power flows back") : QString());
    }
    lines << QStringLiteral("P1 + P2 = %1 kW").arg(signedPower(r.totalP));
    return lines;
}

std::array<QString, 4> arrowNames(const WiringResult& r) {
    std::array<QString, 4> names;
    if (!r.threeWire.empty()) {
        const ThreeWireConnection& c = r.threeWire.front().connection;
        const QString t = c.terminalText().toLower();
        names = {QStringLiteral("U1 = U") + t[0] + t[1], QStringLiteral("U2 = U") + t[2] + t[1],
                 QStringLiteral("I1 = ") + c.i1.phasorName(),
                 QStringLiteral("I2 = ") + c.i2.phasorName()};
    } else if (!r.fourWire.empty()) {
        const WiringSettings& s = r.settings;
        const std::array<int, 2> elements{s.firstElement, s.secondElement()};
        for (int ch = 0; ch < 2; ++ch) {
            const int element = elements[size_t(ch)];
            const FourWireChannel& c = r.fourWire.front().channels[size_t(ch)];
            names[size_t(ch)] = QStringLiteral("U%1 = U").arg(ch + 1) +
                                QChar(QLatin1Char(elementPhase(element))).toLower();
            names[size_t(ch) + 2] =
                QStringLiteral("I%1 = ").arg(ch + 1) + fourWireCurrent(s, ch, c).phasorName();
        }
    } else if (r.group) {
        names[0] = QStringLiteral("U1 (HV)");
        names[1] = QStringLiteral("U2 (LV)");
    }
    return names;
}

std::array<std::optional<double>, 4> idealDirections(const WiringResult& r) {
    std::array<std::optional<double>, 4> ideal;
    switch (r.settings.system) {
    case WiringSystem::ThreeWire: {
        const bool known = !r.threeWire.empty();
        const MeterAngles a =
            threeWireAngles(ThreeWireConnection{}, known ? r.threeWire.front().loadAngle : 0);
        ideal = {0.0, a.u1u2, std::nullopt, std::nullopt};
        if (known) {
            ideal[2] = a.u1i1;
            ideal[3] = wrap360(a.u1u2 + a.u2i2);
        }
        break;
    }
    case WiringSystem::FourWire:
        ideal = {0.0, 120.0, std::nullopt, std::nullopt};
        if (!r.fourWire.empty()) {
            const double phi = r.fourWire.front().loadAngle;
            ideal[2] = wrap360(phi);
            ideal[3] = wrap360(120 + phi);
        }
        break;
    case WiringSystem::VectorGroup:
        break;
    }
    return ideal;
}

} // namespace pm
