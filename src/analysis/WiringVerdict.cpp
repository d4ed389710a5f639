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
    const QString share = fmtval(float(100 / *k), 1) + QLatin1Char('%');
    if (*k < 0)
        return QStringLiteral("The meter registers %1 of the energy: it runs backwards. K = %2.")
            .arg(share, fmtval(float(*k), 3));
    return QStringLiteral("The meter registers %1 of the energy: K = %2.")
        .arg(share, fmtval(float(*k), 3));
}

// "−75", "12.5": whole degrees without decimals, as a range is given.
QString angleNumber(double value) {
    QString text = fmtval(float(value), 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text.replace(QLatin1Char('-'), kMinus);
}

bool exporting(double phi) {
    return std::cos(phi * std::numbers::pi / 180) < -1e-9;
}

QString pfText(double phi) {
    return fmtval(float(std::cos(phi * std::numbers::pi / 180)), 3);
}

// "60.0° lagging", "0.0°", "200.0°, export"
QString shortAngle(double phi) {
    if (exporting(phi))
        return degrees(phi) + QStringLiteral(", export");
    const QString shown = fmtval(float(std::abs(phi)), 1);
    if (shown == QLatin1String("0.0"))
        return shown + kDegree;
    return shown + kDegree + (phi > 0 ? QStringLiteral(" lagging") : QStringLiteral(" leading"));
}

QString capitalized(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// Both currents reversed reads exactly like both voltages reversed.
bool hasVoltageTwin(const ThreeWireConnection& c) {
    return c.i1.reversed && c.i2.reversed && !c.u1Reversed && !c.u2Reversed;
}

// "terminals C, A, B with both currents reversed": a connection in a few words.
QString connectionPhrase(const ThreeWireConnection& c) {
    if (c.correct())
        return QStringLiteral("correct");
    QStringList faults;
    const bool swapped = c.i1.line != 'A';
    const bool twin = hasVoltageTwin(c);
    if (swapped)
        faults << (c.i1.reversed && c.i2.reversed ? QStringLiteral("currents swapped and both "
                                                                   "reversed")
                   : c.i1.reversed                ? QStringLiteral("currents swapped, element 1's "
                                                                                  "reversed")
                   : c.i2.reversed ? QStringLiteral("currents swapped, element 2's reversed")
                                   : QStringLiteral("currents swapped"));
    else if (c.i1.reversed && c.i2.reversed)
        faults << QStringLiteral("both currents reversed");
    else if (c.i1.reversed || c.i2.reversed)
        faults << QStringLiteral("element %1's current reversed").arg(c.i1.reversed ? 1 : 2);
    if (twin)
        faults.last() += QStringLiteral(" (or both voltages)");
    if (c.u1Reversed && c.u2Reversed)
        faults << QStringLiteral("both voltages reversed");
    else if (c.u1Reversed || c.u2Reversed)
        faults << QStringLiteral("element %1's voltage reversed").arg(c.u1Reversed ? 1 : 2);
    const QString list = faults.join(QStringLiteral(" and "));
    if (c.terminals == ThreeWireConnection{}.terminals)
        return list;
    const QString t = c.terminalText();
    const QString terminals = QStringLiteral("terminals %1, %2, %3").arg(t[0]).arg(t[1]).arg(t[2]);
    return list.isEmpty() ? terminals : terminals + QStringLiteral(" with ") + list;
}

QString voltageName(const ThreeWireConnection& c, int element) {
    const QString t = c.terminalText().toLower();
    const QChar far = element == 1 ? t[0] : t[2];
    const bool reversed = element == 1 ? c.u1Reversed : c.u2Reversed;
    return QStringLiteral("U%1 = U").arg(element) +
           (reversed ? QString(t[1]) + far : QString(far) + t[1]);
}

QString currentFaults(const ThreeWireConnection& c) {
    const QString names =
        QStringLiteral("(I1 = %1, I2 = %2)").arg(c.i1.phasorName(), c.i2.phasorName());
    QString text;
    if (c.i1.line == 'A') {
        if (c.i1.reversed && c.i2.reversed)
            text = QStringLiteral("Both element currents reversed ") + names;
        else if (c.i1.reversed)
            text = QStringLiteral("Element 1 current reversed (I1 = %1)").arg(c.i1.phasorName());
        else if (c.i2.reversed)
            text = QStringLiteral("Element 2 current reversed (I2 = %1)").arg(c.i2.phasorName());
    } else if (c.i1.reversed && c.i2.reversed) {
        text = QStringLiteral("Element currents swapped and both reversed ") + names;
    } else if (c.i1.reversed) {
        text = QStringLiteral("Element currents swapped, element 1's reversed ") + names;
    } else if (c.i2.reversed) {
        text = QStringLiteral("Element currents swapped, element 2's reversed ") + names;
    } else {
        text = QStringLiteral("Element currents swapped ") + names;
    }
    if (hasVoltageTwin(c))
        text += QStringLiteral(", or both voltages reversed instead: the angles cannot tell them "
                               "apart (same K)");
    return text;
}

QString voltageFaults(const ThreeWireConnection& c) {
    if (c.u1Reversed && c.u2Reversed)
        return QStringLiteral("Both element voltages reversed (%1, %2)")
            .arg(voltageName(c, 1), voltageName(c, 2));
    if (c.u1Reversed || c.u2Reversed) {
        const int element = c.u1Reversed ? 1 : 2;
        return QStringLiteral("Element %1 voltage reversed (%2): its voltage transformer or "
                              "leads the wrong way round")
            .arg(element)
            .arg(voltageName(c, element));
    }
    return {};
}

QString numberWord(size_t n) {
    static const char* const words[] = {"Two", "Three", "Four", "Five", "Six"};
    return n >= 2 && n <= 6 ? QString::fromLatin1(words[n - 2]) : QString::number(n);
}

// "correct at 0.0° (PF 1.000, K = 1.000)"
QString candidate(const QString& phrase, double phi, const QString& figures) {
    return QStringLiteral("%1 at %2 (PF %3%4)").arg(phrase, shortAngle(phi), pfText(phi), figures);
}

QString ambiguousVerdict(const WiringResult& r, const QStringList& candidates) {
    const QString list = candidates.mid(0, candidates.size() - 1).join(QStringLiteral(", ")) +
                         QStringLiteral(", or ") + candidates.last();
    const QString decide =
        r.settings.system == WiringSystem::ThreeWire && r.settings.commonTerminal == 0
            ? QStringLiteral("Say which terminal carries line B to decide.")
            : QStringLiteral("Narrow the load range to decide.");
    return QStringLiteral("%1 connections explain this reading and need different fixes: %2. %3")
        .arg(numberWord(size_t(candidates.size())), list, decide);
}

QString elementList(const WiringSettings& s, const std::array<bool, 2>& which) {
    if (which[0] && which[1])
        return QStringLiteral("elements %1 and %2").arg(elementLabel(s, 0), elementLabel(s, 1));
    return QStringLiteral("element %1").arg(elementLabel(s, which[0] ? 0 : 1));
}

QString deadVerdict(const WiringResult& r) {
    const DeadElement& d = *r.dead;
    const WiringSettings& s = r.settings;
    const std::array<bool, 2> noCurrent{d.noCurrent[0] && !d.noVoltage[0],
                                        d.noCurrent[1] && !d.noVoltage[1]};
    QStringList missing;
    if (d.noVoltage[0] || d.noVoltage[1])
        missing << QStringLiteral("no voltage on ") + elementList(s, d.noVoltage);
    if (noCurrent[0] || noCurrent[1])
        missing << QStringLiteral("no current on ") + elementList(s, noCurrent);
    QString text = capitalized(missing.join(QStringLiteral(" and ")));
    if (s.system == WiringSystem::VectorGroup)
        return text.replace(QStringLiteral("element"), QStringLiteral("channel")) +
               QStringLiteral(": the vector group needs both voltages.");
    if (d.live < 0)
        return text + QStringLiteral(": the meter registers nothing.");
    const QString live = elementLabel(s, d.live);
    if (s.system == WiringSystem::FourWire)
        return text + QStringLiteral(": of the two, only element %1 registers.").arg(live);
    return text +
           QStringLiteral(": the meter registers element %1 only. Taking element %1 as wired "
                          "right and the load as balanced: %2. %3")
               .arg(live, loadAngleText(d.loadAngle).replace(0, 1, QLatin1Char('l')),
                    energySentence(d.k));
}

QString nearMissVerdict(const WiringResult& r) {
    const ThreeWireMatch& m = *r.nearMiss;
    const LoadRange& range = r.settings.loadRange;
    const double pf = std::abs(std::cos(m.loadAngle * std::numbers::pi / 180));
    const double sine = std::sin(m.loadAngle * std::numbers::pi / 180);
    QString character = std::abs(sine) < 1e-9 ? QString()
                        : sine > 0            ? QStringLiteral(" lagging")
                                              : QStringLiteral(" leading");
    if (exporting(m.loadAngle))
        character += QStringLiteral(", export");
    const QString who = m.connection.correct() ? QStringLiteral("Correct wiring")
                                               : capitalized(connectionPhrase(m.connection));
    return QStringLiteral("No connection explains this reading with a load angle from %1%2 to "
                          "%3%2. %4 would, at %5%2 (PF %6%7): widen the range if the load can "
                          "be so.")
        .arg(angleNumber(range.min), kDegree, angleNumber(range.max), who, angleNumber(m.loadAngle),
             fmtval(float(pf), 3), character);
}

QString threeWireVerdict(const WiringResult& r) {
    if (r.dead)
        return deadVerdict(r);
    if (r.threeWire.empty())
        return r.nearMiss ? nearMissVerdict(r)
                          : QStringLiteral("No standard connection explains these angles.");
    if (r.threeWire.size() > 1) {
        QStringList candidates;
        for (const ThreeWireMatch& m : r.threeWire)
            candidates << candidate(connectionPhrase(m.connection), m.loadAngle,
                                    QStringLiteral(", K = ") + correctionText(m.k));
        return ambiguousVerdict(r, candidates);
    }
    const ThreeWireMatch& best = r.threeWire.front();
    const ThreeWireConnection& c = best.connection;
    if (c.correct())
        return QStringLiteral("Correct connection, positive sequence. %1. K = 1.000.")
            .arg(loadAngleText(best.loadAngle));
    QStringList parts;
    if (c.registersRight()) {
        if (c.positiveSequence())
            parts << QStringLiteral("The meter registers correctly (K = 1.000).");
        else
            parts << QStringLiteral("The meter registers correctly (K = 1.000); its voltage "
                                    "terminals see negative sequence (%1, %2, %3): either the "
                                    "supply turns the other way or two lines are swapped at the "
                                    "terminals.")
                         .arg(c.terminals[0])
                         .arg(c.terminals[1])
                         .arg(c.terminals[2]);
        if (c.u1Reversed || c.u2Reversed)
            parts << sentence(
                QStringLiteral("%1 voltage and current are both reversed")
                    .arg(c.u1Reversed && c.u2Reversed
                             ? QStringLiteral("Each element's")
                             : QStringLiteral("Element %1's").arg(c.u1Reversed ? 1 : 2)));
        parts << sentence(loadAngleText(best.loadAngle));
        return parts.join(QLatin1Char(' '));
    }
    if (c.terminals != ThreeWireConnection{}.terminals) {
        const QString t = c.terminalText();
        parts << sentence(QStringLiteral("Voltage terminals 1, 2, 3 carry lines %1, %2, %3, not "
                                         "A, B, C (%4 sequence)")
                              .arg(t[0])
                              .arg(t[1])
                              .arg(t[2])
                              .arg(sequenceName(r.sequence)));
    }
    const QString voltages = voltageFaults(c);
    if (!voltages.isEmpty())
        parts << sentence(voltages);
    const QString currents = currentFaults(c);
    if (!currents.isEmpty())
        parts << sentence(currents);
    parts << sentence(loadAngleText(best.loadAngle));
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

// The voltages as swapped or not, and the current each channel really carries.
QString fourWireNames(const WiringResult& r, const FourWireMatch& m) {
    QStringList names;
    if (m.voltagesSwapped)
        names << QStringLiteral("voltages swapped");
    for (int ch = 0; ch < 2; ++ch)
        names << QStringLiteral("I%1 = %2")
                     .arg(ch + 1)
                     .arg(fourWireCurrent(r.settings, ch, m.channels[size_t(ch)]).phasorName());
    return names.join(QStringLiteral(", "));
}

QString fourWirePhrase(const WiringResult& r, const FourWireMatch& m) {
    if (m.faults() == 0 && !m.voltagesSwapped)
        return QStringLiteral("correct");
    return fourWireNames(r, m);
}

QString sharesText(const WiringSettings& s, const FourWireMatch& m) {
    return QStringLiteral("element %1 registers %2 of its energy, element %3 %4")
        .arg(s.firstElement)
        .arg(shareText(m.channels[0].share))
        .arg(s.secondElement())
        .arg(shareText(m.channels[1].share));
}

QString fourWireVerdict(const WiringResult& r) {
    const WiringSettings& s = r.settings;
    if (r.dead)
        return deadVerdict(r);
    if (r.fourWire.empty())
        return QStringLiteral("No standard connection explains these angles.");
    if (r.fourWire.size() > 1) {
        QStringList candidates;
        for (const FourWireMatch& m : r.fourWire)
            candidates << candidate(fourWirePhrase(r, m), m.loadAngle,
                                    QStringLiteral("; ") + sharesText(s, m));
        return ambiguousVerdict(r, candidates);
    }
    const FourWireMatch& best = r.fourWire.front();
    if (best.faults() == 0 && r.sequence == Sequence::Positive)
        return QStringLiteral("Correct connection, positive sequence. %1.")
            .arg(loadAngleText(best.loadAngle));
    QStringList parts;
    // Each element's current of the phase its voltage is on: both register their own energy.
    const bool pairedRight = best.voltagesSwapped && best.channels[0].tap == PhaseTap::Lagging &&
                             best.channels[1].tap == PhaseTap::Leading &&
                             !best.channels[0].reversed && !best.channels[1].reversed;
    if (pairedRight) {
        parts << QStringLiteral("Both elements register correctly; their voltages and currents "
                                "see negative sequence: either the supply turns the other way or "
                                "two lines are swapped at the meter.");
    } else {
        if (best.voltagesSwapped)
            parts << QStringLiteral("The voltages of elements %1 and %2 are swapped (U1 = U%3, "
                                    "U2 = U%4).")
                         .arg(s.firstElement)
                         .arg(s.secondElement())
                         .arg(QChar(QLatin1Char(elementPhase(s.secondElement()))).toLower())
                         .arg(QChar(QLatin1Char(elementPhase(s.firstElement))).toLower());
        else if (r.sequence == Sequence::Unknown)
            parts << QStringLiteral("The two voltages are not two phases of one supply.");
        for (int ch = 0; ch < 2; ++ch)
            if (!best.channels[size_t(ch)].correct())
                parts << sentence(fourWireChannelFault(s, best.channels[size_t(ch)], ch));
    }
    parts << sentence(loadAngleText(best.loadAngle));
    parts << sentence(capitalized(sharesText(s, best)));
    return parts.join(QLatin1Char(' '));
}

QString groupVerdict(const WiringResult& r) {
    if (!r.group)
        return r.dead ? deadVerdict(r) : QString();
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
    if (exporting(phi))
        return QStringLiteral("Load angle %1, export (PF %2)").arg(degrees(phi), pfText(phi));
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

QStringList matchLines(const WiringResult& r) {
    QStringList lines;
    for (const ThreeWireMatch& m : r.threeWire)
        lines << QStringLiteral("%1: %2, K = %3")
                     .arg(m.connection.name(), loadAngleText(m.loadAngle), correctionText(m.k));
    for (const FourWireMatch& m : r.fourWire)
        lines << fourWireNames(r, m) + QStringLiteral(": ") + loadAngleText(m.loadAngle) +
                     QStringLiteral(", ") + sharesText(r.settings, m);
    return lines;
}

QStringList otherMatchLines(const WiringResult& r) {
    return matchLines(r).mid(1);
}

QString settingsText(const WiringSettings& s) {
    QStringList parts{systemName(s)};
    if (s.system == WiringSystem::ThreeWire)
        parts << (s.commonTerminal == 0
                      ? QStringLiteral("line B terminal not known")
                      : QStringLiteral("line B on terminal %1").arg(s.commonTerminal));
    if (s.system != WiringSystem::VectorGroup)
        parts << QStringLiteral("load angle %1%3 to %2%3, tolerance %4%3")
                     .arg(angleNumber(s.loadRange.min), angleNumber(s.loadRange.max), kDegree,
                          angleNumber(s.tolerance));
    return parts.join(QStringLiteral("; "));
}

std::optional<double> fittedLoadAngle(const WiringResult& r) {
    if (!r.threeWire.empty())
        return r.threeWire.front().loadAngle;
    if (!r.fourWire.empty())
        return r.fourWire.front().loadAngle;
    if (r.dead && r.dead->live >= 0 && r.settings.system == WiringSystem::ThreeWire)
        return r.dead->loadAngle;
    return std::nullopt;
}

QStringList channelLines(const WiringResult& r) {
    QStringList lines;
    const bool group = r.settings.system == WiringSystem::VectorGroup;
    if (const auto phi = fittedLoadAngle(r))
        lines << QStringLiteral("Load: %1").arg(characterName(loadCharacter(*phi)));
    for (int ch = 0; ch < 2; ++ch) {
        const QString who = group ? QStringLiteral("Channel %1").arg(ch + 1)
                                  : QStringLiteral("Element %1").arg(elementLabel(r.settings, ch));
        const ChannelPower& c = r.channels[size_t(ch)];
        if (!c.signal) {
            lines << who + QStringLiteral(": no signal");
            continue;
        }
        lines << QStringLiteral("%1: U%2I%2 %3, P = %4 kW, Q = %5 kvar%6")
                     .arg(who)
                     .arg(ch + 1)
                     .arg(degrees(c.angle), signedPower(c.p), signedPower(c.q),
                          c.flowsBack ? QStringLiteral(", power flows back") : QString());
    }
    lines << QStringLiteral("P1 + P2 = %1 kW").arg(signedPower(r.totalP));
    return lines;
}

std::array<QString, 4> arrowNames(const WiringResult& r) {
    std::array<QString, 4> names;
    if (!r.threeWire.empty()) {
        const ThreeWireConnection& c = r.threeWire.front().connection;
        names = {voltageName(c, 1), voltageName(c, 2), QStringLiteral("I1 = ") + c.i1.phasorName(),
                 QStringLiteral("I2 = ") + c.i2.phasorName()};
    } else if (!r.fourWire.empty()) {
        const WiringSettings& s = r.settings;
        const std::array<int, 2> elements{s.firstElement, s.secondElement()};
        const bool swapped = r.fourWire.front().voltagesSwapped;
        for (int ch = 0; ch < 2; ++ch) {
            const int element = elements[size_t(swapped ? 1 - ch : ch)];
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
