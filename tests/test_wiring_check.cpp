#include "analysis/WiringCheck.h"
#include "analysis/WiringVerdict.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace pm;

namespace {

// A balanced reading as the meter shows it: 100 V and 5 A on both channels, angles in tenths.
WiringReading reading(double u1u2, double u1i1, double u2i2) {
    const auto tenths = [](double d) { return wrap360(std::round(d * 10) / 10); };
    WiringReading r;
    r.volts = {100, 100};
    r.amperes = {5, 5};
    r.activePower = {0.4, 0.4};
    r.reactivePower = {0.2, 0.2};
    r.angles.u1u2 = tenths(u1u2);
    r.angles.u1i1 = tenths(u1i1);
    r.angles.u2i2 = tenths(u2i2);
    r.angles.i1i2 = tenths(u1u2 + u2i2 - u1i1);
    return r;
}

WiringReading reading(const ThreeWireConnection& c, double phi) {
    const MeterAngles a = threeWireAngles(c, phi);
    return reading(a.u1u2, a.u1i1, a.u2i2);
}

ThreeWireConnection connection(const char* terminals, CurrentTap i1, CurrentTap i2) {
    return {{terminals[0], terminals[1], terminals[2]}, i1, i2};
}

WiringSettings common(int terminal) {
    WiringSettings s;
    s.commonTerminal = terminal;
    return s;
}

WiringSettings fourWire(int firstElement) {
    WiringSettings s;
    s.system = WiringSystem::FourWire;
    s.firstElement = firstElement;
    return s;
}

} // namespace

TEST(WiringModel, CorrectThreeWireConnectionShowsTheTextbookAngles) {
    ASSERT_EQ(threeWireConnections().size(), 48u);
    EXPECT_TRUE(threeWireConnections().front().correct());
    EXPECT_EQ(threeWireConnections().front().name(), "terminals ABC, I1 +A, I2 +C");
    for (const double phi : {-30.0, 0.0, 25.8, 60.0}) {
        const MeterAngles a = threeWireAngles(ThreeWireConnection{}, phi);
        EXPECT_NEAR(a.u1u2, 300, 1e-9);
        EXPECT_NEAR(a.u1i1, wrap360(30 + phi), 1e-9);
        EXPECT_NEAR(a.u2i2, wrap360(330 + phi), 1e-9);
        EXPECT_NEAR(a.i1i2, 240, 1e-9);
    }
}

// The angles a two-element meter shows for wrong connections, derived by hand from the phasors
// (Uab = √3U∠30°, Ucb = √3U∠90°, Ia = I∠−φ, Ic = I∠120°−φ). Where they could be read, they agree
// with "A List of Examples for Incorrect Wiring Display" (3-phase 3-wire) in Mitsubishi
// Electric's "Electronic Multi-Measuring Instrument ME96SSEB-MB User's Manual: Detailed
// Edition", which gives ∠I1 and ∠I3 lagging V12: swapped currents 270° and 30°, both currents
// reversed 210° and 90°, at power factor 1.
TEST(WiringModel, AgreesWithPublishedAnglesOfWrongConnections) {
    const auto fromV12 = [](const MeterAngles& a) { return wrap360(a.u1u2 + a.u2i2); };

    const MeterAngles swapped = threeWireAngles(connection("ABC", {'C'}, {'A'}), 0);
    EXPECT_NEAR(swapped.u1i1, 270, 1e-9);
    EXPECT_NEAR(fromV12(swapped), 30, 1e-9);

    const MeterAngles bothReversed =
        threeWireAngles(connection("ABC", {'A', true}, {'C', true}), 0);
    EXPECT_NEAR(bothReversed.u1i1, 210, 1e-9);
    EXPECT_NEAR(fromV12(bothReversed), 90, 1e-9);

    // Element 1's current reversed at PF 0.900 lagging: the case the window's verdict names.
    const MeterAngles reversed = threeWireAngles(connection("ABC", {'A', true}, {'C'}), 25.8);
    EXPECT_NEAR(reversed.u1i1, 235.8, 1e-9);
    EXPECT_NEAR(reversed.u2i2, 355.8, 1e-9);
    EXPECT_NEAR(*correctionFactor(235.8, 355.8, 25.8), 3.583, 5e-4);

    // Terminals 1 and 2 swapped: U1 = Uba, U2 = Uca, negative sequence.
    const MeterAngles ba = threeWireAngles(connection("BAC", {'A'}, {'C'}), 0);
    EXPECT_NEAR(ba.u1u2, 60, 1e-9);
    EXPECT_NEAR(ba.u1i1, 210, 1e-9);
    EXPECT_NEAR(ba.u2i2, 30, 1e-9);
}

// The rows of that table, as ∠I1 and ∠I3 lagging V12 plus the load angle, derived by hand from
// the same phasors, from PF 0.707 leading to 0.707 lagging: the model gives them, and the check
// finds each row alone once line B's terminal is known.
TEST(WiringModel, EveryRowOfThePublishedTableIsFoundFromLeadingToLagging) {
    const struct {
        const char* terminals;
        CurrentTap i1, i2;
        double v12v32, i1FromV12, i3FromV12;
    } rows[] = {
        {"ABC", {'A'}, {'C'}, 300, 30, 270},             // correct
        {"ABC", {'A', true}, {'C'}, 300, 210, 270},      // I1 reversed
        {"ABC", {'A'}, {'C', true}, 300, 30, 90},        // I3 reversed
        {"ABC", {'A', true}, {'C', true}, 300, 210, 90}, // both reversed
        {"ABC", {'C'}, {'A'}, 300, 270, 30},             // currents swapped
        {"ABC", {'C', true}, {'A', true}, 300, 90, 210}, // swapped, both reversed
        {"BAC", {'A'}, {'C'}, 60, 210, 90},              // terminals 1 and 2 swapped
    };
    for (const auto& row : rows) {
        const ThreeWireConnection c = connection(row.terminals, row.i1, row.i2);
        for (const double phi : {-45.0, 0.0, 45.0}) {
            const MeterAngles a = threeWireAngles(c, phi);
            EXPECT_NEAR(a.u1u2, row.v12v32, 1e-9) << c.name().toStdString();
            EXPECT_NEAR(a.u1i1, wrap360(row.i1FromV12 + phi), 1e-9) << c.name().toStdString();
            EXPECT_NEAR(wrap360(a.u1u2 + a.u2i2), wrap360(row.i3FromV12 + phi), 1e-9)
                << c.name().toStdString();
            const WiringResult r = checkWiring(
                reading(row.v12v32, row.i1FromV12 + phi, row.i3FromV12 + phi - row.v12v32),
                common(c.commonTerminal()));
            ASSERT_EQ(r.threeWire.size(), 1u) << c.name().toStdString() << " at " << phi;
            EXPECT_EQ(r.threeWire.front().connection, c) << c.name().toStdString() << " at " << phi;
            EXPECT_NEAR(r.threeWire.front().loadAngle, phi, 0.05);
        }
    }
}

TEST(WiringCheck, EveryConnectionFindsItselfAndOnlyItselfWithTheCommonLineGiven) {
    ASSERT_EQ(threeWireHypotheses().size(), 96u);
    for (const ThreeWireConnection& c : threeWireHypotheses()) {
        for (const double phi : {-25.0, 0.0, 25.8, 55.0}) {
            const WiringReading r = reading(c, phi);
            const WiringResult open = checkWiring(r, WiringSettings{});
            const bool found = std::any_of(open.threeWire.begin(), open.threeWire.end(),
                                           [&c](const auto& m) { return m.connection == c; });
            EXPECT_TRUE(found) << c.name().toStdString() << " at " << phi;

            const WiringResult given = checkWiring(r, common(c.commonTerminal()));
            ASSERT_EQ(given.threeWire.size(), 1u) << c.name().toStdString() << " at " << phi;
            EXPECT_EQ(given.threeWire.front().connection, c) << c.name().toStdString();
            EXPECT_NEAR(given.threeWire.front().loadAngle, phi, 0.1);
            EXPECT_EQ(given.sequence,
                      c.positiveSequence() ? Sequence::Positive : Sequence::Negative);
        }
    }
}

TEST(WiringCheck, ARotationWithBothCurrentsReversedIsTheSameReadingAtAnotherLoadAngle) {
    // Correct at -20° looks like terminals CAB with both currents reversed at 40°.
    const WiringResult r = checkWiring(reading(ThreeWireConnection{}, -20), WiringSettings{});
    ASSERT_GE(r.threeWire.size(), 2u);
    EXPECT_TRUE(r.threeWire[0].connection.correct()) << "the simpler answer first on a tie";
    const ThreeWireConnection rotated = connection("CAB", {'A', true}, {'C', true});
    const auto other = std::find_if(r.threeWire.begin(), r.threeWire.end(),
                                    [&](const auto& m) { return m.connection == rotated; });
    ASSERT_NE(other, r.threeWire.end());
    EXPECT_NEAR(other->loadAngle, 40, 0.1);
    EXPECT_NEAR(other->residual, r.threeWire[0].residual, 1e-6);
    EXPECT_EQ(checkWiring(reading(ThreeWireConnection{}, -20), common(2)).threeWire.size(), 1u);
}

TEST(WiringCheck, TheFitHoldsToItsToleranceAndLoadRange) {
    // The load angles the two channels imply may be 15° apart, and U1U2 15° off.
    EXPECT_EQ(checkWiring(reading(300, 45, 345 + 15), common(2)).threeWire.size(), 1u);
    EXPECT_TRUE(checkWiring(reading(300, 45, 345 + 15.1), common(2)).threeWire.empty());
    EXPECT_EQ(checkWiring(reading(315, 45, 345), common(2)).threeWire.size(), 1u);
    EXPECT_TRUE(checkWiring(reading(315.1, 45, 345), common(2)).threeWire.empty());
    // The load range is inclusive: 60° lagging fits, 60.1° does not.
    const WiringResult edge = checkWiring(reading(ThreeWireConnection{}, 60), common(2));
    ASSERT_EQ(edge.threeWire.size(), 1u);
    EXPECT_TRUE(edge.threeWire.front().connection.correct());
    const WiringResult past = checkWiring(reading(ThreeWireConnection{}, 60.1), common(2));
    for (const ThreeWireMatch& m : past.threeWire)
        EXPECT_FALSE(m.connection.correct());
    WiringSettings wide = common(2);
    wide.loadRange = {-30, 70};
    const WiringResult widened = checkWiring(reading(ThreeWireConnection{}, 60.1), wide);
    ASSERT_FALSE(widened.threeWire.empty());
    EXPECT_TRUE(widened.threeWire.front().connection.correct());
}

TEST(WiringCheck, CorrectionFactorStandsStillUnderOnePercent) {
    EXPECT_DOUBLE_EQ(*correctionFactor(30, 330, 0), 1.0);
    // √3 cos 0° = 1.732; cos 89° = 0.01745 is above 1% of it, cos 89.01° = 0.01728 below.
    ASSERT_TRUE(correctionFactor(90, 89, 0));
    EXPECT_NEAR(*correctionFactor(90, 89, 0), 99.25, 0.01);
    EXPECT_FALSE(correctionFactor(90, 89.01, 0));
    EXPECT_FALSE(correctionFactor(90, 270, 0));
    EXPECT_LT(*correctionFactor(55.8, 175.8, 25.8), 0) << "runs backwards";

    // A load range up to 90°: a purely reactive load has no real energy, K is 0, not a share.
    WiringSettings reactive = common(2);
    reactive.loadRange = {-30, 90};
    const WiringResult r =
        checkWiring(reading(connection("ABC", {'A', true}, {'C'}), 90), reactive);
    ASSERT_FALSE(r.threeWire.empty());
    EXPECT_EQ(wiringVerdict(r), "Element 1 current reversed (I1 = \u2212Ia). Load angle 90.0\u00B0 "
                                "lagging (PF 0.000). There is no real energy, yet the meter "
                                "registers some: K = 0.000.");
}

TEST(WiringVerdict, NamesTheCorrectAndTheReversedConnectionWithK) {
    const WiringResult right = checkWiring(reading(300, 55.8, 355.8), common(2));
    EXPECT_EQ(wiringVerdict(right), "Correct connection, positive sequence. Load angle 25.8\u00B0 "
                                    "lagging (PF 0.900). K = 1.000.");
    EXPECT_TRUE(right.notes.isEmpty());

    const WiringResult reversed = checkWiring(reading(300, 235.8, 355.8), common(2));
    EXPECT_EQ(wiringVerdict(reversed), "Element 1 current reversed (I1 = \u2212Ia). Load angle "
                                       "25.8\u00B0 lagging (PF 0.900). The meter registers 27.9% "
                                       "of the energy: K = 3.583.");
    EXPECT_EQ(arrowNames(reversed)[2], "I1 = \u2212Ia");

    const WiringResult backwards = checkWiring(reading(300, 55.8, 175.8), common(2));
    EXPECT_EQ(wiringVerdict(backwards), "Element 2 current reversed (I2 = \u2212Ic). Load angle "
                                        "25.8\u00B0 lagging (PF 0.900). The meter registers "
                                        "-27.9% of the energy: it runs backwards. K = -3.583.");
    EXPECT_EQ(arrowNames(backwards)[3], "I2 = \u2212Ic");
    EXPECT_NE(backwards.bestKey(), reversed.bestKey());

    const WiringResult swapped =
        checkWiring(reading(connection("BAC", {'C', true}, {'A'}), 30), common(1));
    EXPECT_TRUE(wiringVerdict(swapped).startsWith(
        "Voltage terminals 1, 2, 3 carry lines B, A, C, not A, B, C (negative sequence). Element "
        "currents swapped, element 1's reversed (I1 = \u2212Ic, I2 = Ia). Load angle 30.0\u00B0 "
        "lagging (PF 0.866). The meter "))
        << wiringVerdict(swapped).toStdString();
}

TEST(WiringCheck, FourWireNamesEachChannelsCurrentAndShare) {
    // Up to 0.866 leading: the reversed current of the leading phase 60° away stays outside.
    const auto narrow = [](int first) {
        WiringSettings s = fourWire(first);
        s.loadRange = {-30, 60};
        return s;
    };
    // Elements 2 and 3: U1U2 = 120° is positive sequence whichever pair the channels are on.
    const WiringResult right = checkWiring(reading(120, 60, 60), narrow(2));
    EXPECT_EQ(right.sequence, Sequence::Positive);
    ASSERT_FALSE(right.fourWire.empty());
    // At 60° (the top of the load range) the own current fits, and so does the reversed current
    // of the leading phase at 0°: the simpler answer first, and neither called correct alone.
    EXPECT_EQ(right.fourWire.front().faults(), 0);
    EXPECT_FALSE(right.unique());
    EXPECT_TRUE(wiringVerdict(right).startsWith(
        "Two connections explain this reading and need different fixes: correct at 60.0\u00B0 "
        "lagging (PF 0.500; element 2 registers 100.0% of its energy, element 3 100.0%), or "
        "I1 = \u2212Ia, I2 = \u2212Ib at 0.0\u00B0"))
        << wiringVerdict(right).toStdString();
    EXPECT_EQ(arrowNames(right)[0], "U1 = Ub");

    const WiringResult past = checkWiring(reading(120, 61, 61), narrow(2));
    ASSERT_FALSE(past.fourWire.empty());
    const FourWireChannel& c = past.fourWire.front().channels[0];
    EXPECT_EQ(c.tap, PhaseTap::Leading);
    EXPECT_TRUE(c.reversed);
    EXPECT_EQ(arrowNames(past)[2], "I1 = \u2212Ia") << "element 2's leading phase is A";

    const WiringResult reversed = checkWiring(reading(120, 20, 200), narrow(1));
    EXPECT_EQ(wiringVerdict(reversed),
              "Element 2 current reversed (I2 = \u2212Ib). Load angle 20.0\u00B0 lagging "
              "(PF 0.940). Element 1 registers 100.0% of its energy, element 2 -100.0%.");
    // With the default range down to 60° leading the twin fits too: never "Correct" alone.
    const WiringResult wide = checkWiring(reading(120, 20, 200), fourWire(1));
    EXPECT_FALSE(wide.unique());
    EXPECT_TRUE(wiringVerdict(wide).startsWith("Two connections explain this reading"))
        << wiringVerdict(wide).toStdString();

    // Element 2 on the current of the phase that lags: cos 140° / cos 20° of its energy.
    const WiringResult lagging = checkWiring(reading(120, 20, 140), narrow(1));
    ASSERT_FALSE(lagging.fourWire.empty());
    ASSERT_TRUE(lagging.fourWire.front().channels[1].share);
    EXPECT_NEAR(*lagging.fourWire.front().channels[1].share, -0.8152, 1e-4);

    EXPECT_EQ(checkWiring(reading(240, 20, 20), fourWire(3)).sequence, Sequence::Negative);
    EXPECT_EQ(checkWiring(reading(135, 20, 20), fourWire(3)).sequence, Sequence::Positive);
    EXPECT_EQ(checkWiring(reading(135.1, 20, 20), fourWire(3)).sequence, Sequence::Unknown);
}

TEST(WiringCheck, VectorGroupClockRoundsHalfWayUp) {
    const struct {
        double angle;
        int clock;
        double deviation;
    } cases[] = {{330, 11, 0},    {344.9, 11, 14.9}, {345, 0, -15}, {359.9, 0, -0.1},
                 {14.9, 0, 14.9}, {15, 1, -15},      {0, 0, 0},     {150, 5, 0}};
    for (const auto& c : cases) {
        const VectorGroupResult g = vectorGroup(c.angle);
        EXPECT_EQ(g.clock, c.clock) << c.angle;
        EXPECT_NEAR(g.deviation, c.deviation, 1e-9) << c.angle;
    }
    WiringSettings s;
    s.system = WiringSystem::VectorGroup;
    WiringReading r = reading(330, 0, 0);
    r.volts = {11000, 400}; // the two sides differ by design: no note
    r.amperes = {0, 0};     // and no currents are needed
    const WiringResult g = checkWiring(r, s);
    EXPECT_TRUE(g.notes.isEmpty()) << g.notes.join("; ").toStdString();
    EXPECT_EQ(
        wiringVerdict(g),
        "Vector group clock number 11: U2 lags U1 by 330.0\u00B0, 0.0\u00B0 from 330.0\u00B0.");
}

TEST(WiringCheck, SanityNotesSayWhatMakesTheAnswerUnreliable) {
    WiringReading r = reading(ThreeWireConnection{}, 20);
    r.volts = {9.99, 100};
    r.amperes = {5, 0.0199};
    EXPECT_EQ(checkWiring(r, common(2)).notes,
              QStringList({"No voltage on element 1", "No current on element 2"}));

    r = reading(ThreeWireConnection{}, 20);
    r.volts = {100, 80};
    EXPECT_TRUE(checkWiring(r, common(2)).notes.isEmpty()) << "20% apart is still balanced";
    r.volts = {100, 79.9};
    r.amperes = {5, 2};
    EXPECT_EQ(checkWiring(r, common(2)).notes,
              QStringList({"Voltages differ by 20%: the supply is unbalanced; K is exact, the "
                           "connection found less certain",
                           "Currents differ by 60%: the load is unbalanced; K is exact, the "
                           "connection found less certain"}));

    r = reading(300, 100, 10);
    r.volts = {0, 100};
    EXPECT_EQ(checkWiring(r, fourWire(3)).notes, QStringList({"No voltage on element 3"}));
}

TEST(WiringCheck, PowersGetTheirSignsFromThePowerAngle) {
    WiringReading r = reading(300, 200, 2.8);
    const WiringResult result = checkWiring(r, WiringSettings{});
    const ChannelPower& one = result.channels[0];
    EXPECT_TRUE(one.flowsBack);
    EXPECT_DOUBLE_EQ(one.p, -0.4);
    EXPECT_DOUBLE_EQ(one.q, -0.2);
    EXPECT_DOUBLE_EQ(result.totalP, 0.0);
    EXPECT_EQ(channelLines(result).first(),
              "Element 1: U1I1 200.0\u00B0, P = -0.4000 kW, Q = -0.2000 kvar, power flows back");

    // Exactly at 90° and 270° no power flows either way; a tenth past 90° it flows back.
    for (const double theta : {90.0, 270.0, 89.9}) {
        r.angles.u1i1 = theta;
        EXPECT_FALSE(checkWiring(r, WiringSettings{}).channels[0].flowsBack) << theta;
    }
    r.angles.u1i1 = 90.1;
    EXPECT_TRUE(checkWiring(r, WiringSettings{}).channels[0].flowsBack);
}
