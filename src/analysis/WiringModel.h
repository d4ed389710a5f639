#pragma once

#include <QString>
#include <array>
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

// One of the 48 standard connections of a two-element meter on a three-phase three-wire
// installation: which line each voltage terminal 1, 2, 3 carries, and the current each element
// gets. Element 1 measures U1 = terminal 1 - terminal 2, element 2 U2 = terminal 3 - terminal 2.
struct ThreeWireConnection {
    std::array<char, 3> terminals{'A', 'B', 'C'};
    CurrentTap i1{'A', false};
    CurrentTap i2{'C', false};

    bool operator==(const ThreeWireConnection&) const = default;
    bool correct() const { return *this == ThreeWireConnection{}; }
    // "ABC"
    QString terminalText() const;
    // "terminals BAC, I1 -C, I2 +A"
    QString name() const;
    // The terminal (1 to 3) that carries line B.
    int commonTerminal() const;
    // The terminal order turns the supply's sequence: ABC, BCA and CAB keep it positive.
    bool positiveSequence() const;
    // How many things differ from the correct connection: the terminal order and each current.
    int faults() const;
};

// All 48, the correct connection first.
const std::vector<ThreeWireConnection>& threeWireConnections();

// What the meter shows for a connection on a balanced supply of positive sequence, at load angle
// `phi` (degrees, positive when the current lags).
MeterAngles threeWireAngles(const ThreeWireConnection& c, double phi);

// For a four-wire installation: which phase's current an element gets, relative to its own
// voltage's phase.
enum class PhaseTap { Own, Lagging, Leading };

// What the meter shows for one element of a four-wire installation: how far the current it gets
// lags its own phase-to-neutral voltage at load angle `phi`.
double fourWirePowerAngle(PhaseTap tap, bool reversed, double phi);

} // namespace pm
