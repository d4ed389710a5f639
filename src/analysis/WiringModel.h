#pragma once

#include <QString>
#include <array>
#include <complex>
#include <vector>

namespace pm {

// The meter's four angles, each a lag in [0, 360): U1U2 is how far U2 lags U1, U1I1 how far I1
// lags U1, U2I2 how far I2 lags U2, I1I2 how far I2 lags I1.
struct MeterAngles {
    double u1u2 = 0;
    double i1i2 = 0;
    double u1i1 = 0;
    double u2i2 = 0;
};

// An angle brought into [0, 360).
double wrap360(double degrees);
// An angle brought into (-180, 180].
double wrap180(double degrees);

// A current as one element receives it: the current of `line` ('A', 'B' or 'C'), either way
// round.
struct CurrentTap {
    char line = 'A';
    bool reversed = false;

    bool operator==(const CurrentTap&) const = default;
    // "+A", "-C": the name in connection names and in the tool's JSON.
    QString code() const;
    // "Ia", "−Ic": the name on the phasor diagram and in the verdict.
    QString phasorName() const;
};

// One of the standard connections of a two-element meter on a three-phase three-wire
// installation: which line each voltage terminal 1, 2, 3 carries, the current each element gets,
// and whether an element's voltage transformer (or its leads) is the wrong way round. Element 1
// measures U1 = terminal 1 - terminal 2, element 2 U2 = terminal 3 - terminal 2.
struct ThreeWireConnection {
    std::array<char, 3> terminals{'A', 'B', 'C'};
    CurrentTap i1{'A', false};
    CurrentTap i2{'C', false};
    bool u1Reversed = false;
    bool u2Reversed = false;

    bool operator==(const ThreeWireConnection&) const = default;
    bool correct() const { return *this == ThreeWireConnection{}; }
    // "ABC"
    QString terminalText() const;
    // "terminals BAC, I1 -C, I2 +A"; a reversed voltage adds "U1 -" before the currents.
    QString name() const;
    // The terminal (1 to 3) that carries line B.
    int commonTerminal() const;
    // The terminal order turns the supply's sequence: ABC, BCA and CAB keep it positive.
    bool positiveSequence() const;
    // How many things differ from the correct connection: the terminal order, the currents
    // swapped, and each current and voltage reversed.
    int faults() const;
    // Each element sees a line voltage to line B and the current of the same line, each pair
    // the same way round: the meter registers the real energy, whatever the load.
    bool registersRight() const;
    // Every voltage and current reversed: the meter shows exactly the same angles and powers.
    ThreeWireConnection twin() const;
    // Of a connection and its twin, the one a reading names: fewer faults, then fewer reversed
    // voltages (current transformers are reversed far more often).
    bool preferredOverTwin() const;
};

// The 48 without a reversed voltage, the correct connection first.
const std::vector<ThreeWireConnection>& threeWireConnections();
// Every connection a reading can tell apart: the 48, and those with one or both voltages
// reversed, each pair of twins once (96 in all).
const std::vector<ThreeWireConnection>& threeWireHypotheses();

// What the meter shows for a connection on a balanced supply of positive sequence, at load angle
// `phi` (degrees, positive when the current lags).
MeterAngles threeWireAngles(const ThreeWireConnection& c, double phi);

// The measured phasors of one reading, U1 the reference, as complex numbers.
struct MeasuredPhasors {
    std::complex<double> u1, u2, i1, i2;
};
MeasuredPhasors measuredPhasors(const MeterAngles& a, const std::array<double, 2>& volts,
                                const std::array<double, 2>& amperes);

// The real power of the installation behind connection `c`, from what its two elements measure:
// the two voltages give the three line voltages, the two currents Ia and Ic, and Ib = -Ia - Ic.
double trueThreeWirePower(const ThreeWireConnection& c, const MeasuredPhasors& m);
// What the two elements register, P1 + P2.
double registeredPower(const MeasuredPhasors& m);

// For a four-wire installation: which phase's current an element gets, relative to its own
// voltage's phase.
enum class PhaseTap { Own, Lagging, Leading };

// What the meter shows for one element of a four-wire installation: how far the current it gets
// lags its own phase-to-neutral voltage at load angle `phi`.
double fourWirePowerAngle(PhaseTap tap, bool reversed, double phi);

} // namespace pm
