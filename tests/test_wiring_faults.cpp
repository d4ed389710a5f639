#include "analysis/EarthReading.h"
#include "analysis/WiringCheck.h"
#include "analysis/WiringVerdict.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <numbers>

using namespace pm;

namespace {

using Phasor = std::complex<double>;

Phasor at(double magnitude, double degrees) {
    return std::polar(magnitude, degrees * std::numbers::pi / 180);
}

double lagOf(Phasor x, Phasor y) {
    return wrap360((std::arg(x) - std::arg(y)) * 180 / std::numbers::pi);
}

// An installation built phasor by phasor, independent of the check's own model: phase voltages
// of 100/√3 V (negative sequence on request), line currents with each phase's own angle and
// size, Ib = -Ia - Ic, and what the meter's two channels are wired to.
struct Installation {
    double phiA = 25.8, phiC = 25.8; // each phase's load angle, lagging positive
    double ampsA = 5, ampsC = 5;
    double voltsC = 100; // line voltage C-B, to unbalance the supply
    bool negativeSequence = false;
    const char* terminals = "ABC";
    std::array<double, 2> voltageSign{1, 1};
    std::array<char, 2> currentLine{'A', 'C'};
    std::array<double, 2> currentSign{1, 1};

    Phasor v(char line) const {
        const double e = 100 / std::sqrt(3.0);
        const double turn = negativeSequence ? -1 : 1;
        if (line == 'A')
            return at(e, 0);
        if (line == 'B')
            return at(e, turn * -120);
        return at(e * voltsC / 100, turn * 120);
    }
    Phasor i(char line) const {
        const double turn = negativeSequence ? -1 : 1;
        const Phasor a = at(ampsA, -phiA), c = at(ampsC, turn * 120 - phiC);
        return line == 'A' ? a : line == 'C' ? c : -a - c;
    }
    Phasor u(int ch) const {
        const char far = terminals[ch == 0 ? 0 : 2];
        return voltageSign[size_t(ch)] * (v(far) - v(terminals[1]));
    }
    Phasor current(int ch) const { return currentSign[size_t(ch)] * i(currentLine[size_t(ch)]); }
    WiringReading reading() const {
        WiringReading r;
        for (int ch = 0; ch < 2; ++ch) {
            r.volts[size_t(ch)] = std::abs(u(ch));
            r.amperes[size_t(ch)] = std::abs(current(ch));
            r.activePower[size_t(ch)] = std::abs((u(ch) * std::conj(current(ch))).real()) / 1000;
            r.reactivePower[size_t(ch)] = std::abs((u(ch) * std::conj(current(ch))).imag()) / 1000;
        }
        r.angles = {lagOf(u(0), u(1)), lagOf(current(0), current(1)), lagOf(u(0), current(0)),
                    lagOf(u(1), current(1))};
        return r;
    }
    // The real power of the three phases, summed phase by phase.
    double truePower() const {
        double p = 0;
        for (const char line : {'A', 'B', 'C'})
            p += (v(line) * std::conj(i(line))).real();
        return p;
    }
    double registered() const {
        return (u(0) * std::conj(current(0))).real() + (u(1) * std::conj(current(1))).real();
    }
};

WiringSettings lineB(int terminal, LoadRange range = {}) {
    WiringSettings s;
    s.commonTerminal = terminal;
    s.loadRange = range;
    return s;
}

ThreeWireMatch only(const WiringResult& r) {
    EXPECT_EQ(r.threeWire.size(), 1u) << wiringVerdict(r).toStdString();
    EXPECT_TRUE(r.unique());
    return r.threeWire.empty() ? ThreeWireMatch{} : r.threeWire.front();
}

} // namespace

TEST(WiringModel, TerminalOrdersKeepOrTurnTheSequence) {
    const char* const positive[] = {"ABC", "BCA", "CAB"};
    const char* const negative[] = {"ACB", "BAC", "CBA"};
    for (const char* t : positive)
        EXPECT_TRUE(ThreeWireConnection({{t[0], t[1], t[2]}}).positiveSequence()) << t;
    for (const char* t : negative)
        EXPECT_FALSE(ThreeWireConnection({{t[0], t[1], t[2]}}).positiveSequence()) << t;
}

TEST(WiringCheck, TheLoadAngleIsTheMiddleOfWhatTheElementsImply) {
    // Element 1 implies 15°, element 2 30°.
    WiringReading r;
    r.volts = {100, 100};
    r.amperes = {5, 5};
    r.angles = {300, 255, 45, 0};
    const ThreeWireMatch m = only(checkWiring(r, lineB(2)));
    EXPECT_NEAR(m.loadAngle, 22.5, 1e-9);
    EXPECT_NEAR(m.spread, 15, 1e-9);
}

TEST(WiringVerdict, AReadingTwoConnectionsExplainNamesBothWithTheirK) {
    Installation right;
    right.phiA = right.phiC = 0;
    const WiringResult r = checkWiring(right.reading(), WiringSettings{});
    EXPECT_FALSE(r.unique());
    const QString verdict = wiringVerdict(r);
    EXPECT_FALSE(verdict.contains("Correct connection")) << verdict.toStdString();
    EXPECT_TRUE(verdict.contains("connections explain this reading and need different fixes: "
                                 "correct at 0.0\u00B0 (PF 1.000, K = 1.000)"))
        << verdict.toStdString();
    EXPECT_TRUE(verdict.contains("terminals C, A, B with both currents reversed (or both voltages) "
                                 "at 60.0\u00B0 lagging (PF 0.500, K = 0.500)"))
        << verdict.toStdString();
    EXPECT_TRUE(verdict.endsWith("Say which terminal carries line B to decide."));

    // The lines below the verdict are the other matches, never the first again.
    const QStringList others = otherMatchLines(r);
    ASSERT_EQ(size_t(others.size()), r.threeWire.size() - 1);
    for (const QString& line : others)
        EXPECT_FALSE(line.startsWith(r.threeWire.front().connection.name()));
}

TEST(WiringCheck, LeadingExportAndNearMissLoadAngles) {
    Installation leading;
    leading.phiA = leading.phiC = -45;
    const ThreeWireMatch lead = only(checkWiring(leading.reading(), lineB(2)));
    EXPECT_TRUE(lead.connection.correct());
    EXPECT_NEAR(lead.loadAngle, -45, 1e-6);

    // Export: shown within the range given, 200°, not -160°; element 1 reversed found there.
    Installation exporting;
    exporting.phiA = exporting.phiC = 200;
    exporting.currentSign = {-1, 1};
    const WiringResult ex = checkWiring(exporting.reading(), lineB(2, kExportRange));
    const ThreeWireMatch back = only(ex);
    EXPECT_EQ(back.connection.name(), "terminals ABC, I1 -A, I2 +C");
    EXPECT_NEAR(back.loadAngle, 200, 1e-6);
    EXPECT_NEAR(*back.k, exporting.truePower() / exporting.registered(), 1e-9);
    // In the import range the same angles are element 2's current reversed at 20°: only the
    // range tells the two apart.
    const ThreeWireMatch import = only(checkWiring(exporting.reading(), lineB(2)));
    EXPECT_EQ(import.connection.name(), "terminals ABC, I1 +A, I2 -C");
    EXPECT_NEAR(import.loadAngle, 20, 1e-6);

    Installation past;
    past.phiA = past.phiC = -75;
    const WiringResult miss = checkWiring(past.reading(), lineB(2));
    EXPECT_TRUE(miss.threeWire.empty()) << wiringVerdict(miss).toStdString();
    EXPECT_EQ(
        wiringVerdict(miss),
        "No connection explains this reading with a load angle from \u221260\u00B0 to "
        "60\u00B0. Correct wiring would, at \u221275\u00B0 (PF 0.259 leading): widen the range "
        "if the load can be so.");
}

TEST(WiringCheck, KIsExactForUnbalancedLoads) {
    // Element 1's current reversed: phase A at 20°, C at 30°; then both at 25° with currents of
    // 5 A and 3.5 A.
    Installation angles;
    angles.currentSign = {-1, 1};
    angles.phiA = 20;
    angles.phiC = 30;
    Installation currents = angles;
    currents.phiA = currents.phiC = 25;
    currents.ampsC = 3.5;
    // Correct wiring on an unbalanced supply and load: exactly 1, whatever the balanced formula.
    Installation right;
    right.phiA = 10;
    right.phiC = 24;
    right.ampsC = 4.2;
    right.voltsC = 90;
    for (const Installation& x : {angles, currents, right}) {
        const WiringResult r = checkWiring(x.reading(), lineB(2));
        ASSERT_FALSE(r.threeWire.empty()) << wiringVerdict(r).toStdString();
        const ThreeWireMatch& m = r.threeWire.front();
        ASSERT_TRUE(m.k);
        EXPECT_NEAR(*m.k, x.truePower() / x.registered(), 1e-9)
            << m.connection.name().toStdString();
    }
    EXPECT_NEAR(*checkWiring(angles.reading(), lineB(2)).threeWire.front().k, 4.599, 5e-4);
    EXPECT_NEAR(*checkWiring(currents.reading(), lineB(2)).threeWire.front().k, 10.269, 5e-4);
    const WiringResult exact = checkWiring(right.reading(), lineB(2));
    EXPECT_EQ(*exact.threeWire.front().k, 1.0);
    EXPECT_TRUE(wiringVerdict(exact).endsWith("K = 1.000."));

    // Load angles 10° apart: a note says what that costs.
    EXPECT_TRUE(checkWiring(angles.reading(), lineB(2))
                    .notes.contains("The elements imply load angles 10.0\u00B0 apart: the load is "
                                    "unbalanced; K is exact, the connection found less certain"));
    Installation slight = angles;
    slight.phiC = 25;
    EXPECT_TRUE(checkWiring(slight.reading(), lineB(2)).notes.isEmpty());
}

TEST(WiringCheck, ReversedVoltageTransformersAreFound) {
    Installation one;
    one.voltageSign = {-1, 1};
    const ThreeWireMatch m1 = only(checkWiring(one.reading(), lineB(2)));
    EXPECT_TRUE(m1.connection.u1Reversed && !m1.connection.u2Reversed);
    EXPECT_EQ(m1.connection.i1, (CurrentTap{'A', false}));
    EXPECT_NEAR(*m1.k, one.truePower() / one.registered(), 1e-9);
    EXPECT_TRUE(wiringVerdict(checkWiring(one.reading(), lineB(2)))
                    .startsWith("Element 1 voltage reversed (U1 = Uba)"));

    Installation two;
    two.voltageSign = {1, -1};
    const ThreeWireMatch m2 = only(checkWiring(two.reading(), lineB(2)));
    EXPECT_TRUE(!m2.connection.u1Reversed && m2.connection.u2Reversed);
    EXPECT_NEAR(*m2.k, two.truePower() / two.registered(), 1e-9);

    // Both voltages reversed reads exactly as both currents reversed: one answer, both named.
    Installation both;
    both.voltageSign = {-1, -1};
    const WiringResult r = checkWiring(both.reading(), lineB(2));
    const ThreeWireMatch m = only(r);
    EXPECT_EQ(m.connection.name(), "terminals ABC, I1 -A, I2 -C");
    EXPECT_NEAR(*m.k, both.truePower() / both.registered(), 1e-9);
    EXPECT_TRUE(wiringVerdict(r).contains(
        "Both element currents reversed (I1 = \u2212Ia, I2 = \u2212Ic), or both voltages reversed "
        "instead: the angles cannot tell them apart (same K)."))
        << wiringVerdict(r).toStdString();
}

TEST(WiringVerdict, ADeadElementIsNamedFirstAndNeverCorrect) {
    Installation fuse;
    fuse.phiA = fuse.phiC = 25;
    WiringReading r = fuse.reading();
    r.volts[1] = 3;
    const WiringResult blown = checkWiring(r, lineB(2));
    EXPECT_TRUE(blown.threeWire.empty());
    EXPECT_FALSE(blown.unique());
    const QString verdict = wiringVerdict(blown);
    EXPECT_TRUE(verdict.startsWith("No voltage on element 2: the meter registers element 1 only."))
        << verdict.toStdString();
    EXPECT_TRUE(verdict.endsWith("The meter registers 36.5% of the energy: K = 2.737."))
        << verdict.toStdString();

    r = fuse.reading();
    r.amperes[0] = 0.0199;
    const WiringResult open = checkWiring(r, lineB(2));
    EXPECT_TRUE(wiringVerdict(open).startsWith(
        "No current on element 1: the meter registers element 2 only. Taking element 2 as wired "
        "right and the load as balanced: load angle 25.0\u00B0 lagging (PF 0.906)."))
        << wiringVerdict(open).toStdString();
    EXPECT_EQ(open.sequence, Sequence::Positive) << "both voltages are there";

    r.amperes = {0, 0.0199};
    const WiringResult none = checkWiring(r, lineB(2));
    EXPECT_EQ(wiringVerdict(none), "No current on elements 1 and 2: the meter registers nothing.");
    EXPECT_TRUE(none.threeWire.empty());
    r.amperes = {0.02, 5};
    EXPECT_FALSE(checkWiring(r, lineB(2)).dead) << "0.02 A is a current";

    WiringSettings group;
    group.system = WiringSystem::VectorGroup;
    r = fuse.reading();
    r.volts[1] = 9.99;
    const WiringResult noClock = checkWiring(r, group);
    EXPECT_FALSE(noClock.group);
    EXPECT_EQ(wiringVerdict(noClock),
              "No voltage on channel 2: the vector group needs both voltages.");
}

TEST(WiringCheck, CurrentAngleAgainstTheOtherThree) {
    WiringReading r = Installation{}.reading();
    r.angles.i1i2 = 100;
    const WiringResult off = checkWiring(r, lineB(2));
    EXPECT_TRUE(off.notes.contains(
        "I1I2 is 100.0\u00B0, the other angles imply 240.0\u00B0: check the current clamps"));
    ASSERT_FALSE(off.threeWire.empty());
    EXPECT_GT(off.threeWire.front().residual, 139);
    r.angles.i1i2 = 255;
    EXPECT_TRUE(checkWiring(r, lineB(2)).notes.isEmpty()) << "15° off is within the tolerance";
}

TEST(WiringCheck, FourWireVoltagesSwappedNameTheCurrentsAsTheyAre) {
    // Elements 1 and 2: U1 on Ub, U2 on Ua, each element's own current, at 20° lagging.
    WiringReading r;
    r.volts = {57.7, 57.7};
    r.amperes = {5, 5};
    r.angles = {240, 240, 260, 140};
    WiringSettings s;
    s.system = WiringSystem::FourWire;
    const WiringResult swapped = checkWiring(r, s);
    ASSERT_FALSE(swapped.fourWire.empty());
    const FourWireMatch& m = swapped.fourWire.front();
    EXPECT_TRUE(m.voltagesSwapped);
    EXPECT_TRUE(m.channels[0].correct() && m.channels[1].correct());
    EXPECT_EQ(arrowNames(swapped),
              (std::array<QString, 4>{"U1 = Ub", "U2 = Ua", "I1 = Ia", "I2 = Ib"}));
    s.loadRange = {-30, 60};
    EXPECT_EQ(wiringVerdict(checkWiring(r, s)),
              "The voltages of elements 1 and 2 are swapped (U1 = Ub, U2 = Ua). Load angle "
              "20.0\u00B0 lagging (PF 0.940). Element 1 registers -18.5% of its energy, element 2 "
              "-81.5%.");
}

TEST(WiringVerdict, NegativeSequenceSupplyWithTheMeterRight) {
    Installation turned;
    turned.negativeSequence = true;
    const WiringResult r = checkWiring(turned.reading(), lineB(2));
    const ThreeWireMatch m = only(r);
    EXPECT_EQ(*m.k, 1.0);
    EXPECT_NEAR(turned.truePower() / turned.registered(), 1.0, 1e-12);
    EXPECT_EQ(wiringVerdict(r),
              "The meter registers correctly (K = 1.000); its voltage terminals see negative "
              "sequence (C, B, A): either the supply turns the other way or two lines are swapped "
              "at the terminals. Load angle 25.8\u00B0 lagging (PF 0.900).");
}

TEST(EarthReading, FindsLineBOrSaysWhyNot) {
    EXPECT_EQ(lineBFromEarth(0.4, 100).terminal, 1);
    EXPECT_EQ(lineBFromEarth(100, 19.9).terminal, 3);
    EXPECT_EQ(lineBFromEarth(100, 80).terminal, 2);
    EXPECT_EQ(lineBFromEarth(100, 99).text,
              "Terminals 1 and 3 are both at line voltage to earth (U1 = 100.0 V, U2 = 99.0 V): "
              "line B is on terminal 2.");
    // Neither at earth nor equal: 20 V against 100 V, and 79.9 V.
    for (const double u2 : {20.0, 79.9}) {
        const EarthFinding f = lineBFromEarth(100, u2);
        EXPECT_EQ(f.terminal, 0) << u2;
        EXPECT_TRUE(f.text.contains("Line B not found.")) << u2;
    }
    const EarthFinding low = lineBFromEarth(0.4, 9.9);
    EXPECT_EQ(low.terminal, 0);
    EXPECT_TRUE(low.text.startsWith("Both terminals read next to nothing to earth"));
}
