#pragma once

#include "analysis/WiringModel.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace pm {

class ReadingTexts;

enum class WiringSystem {
    ThreeWire,   // three-phase three-wire, two elements
    FourWire,    // three-phase four-wire, two of the three elements
    VectorGroup, // U1 on a transformer's high-voltage side, U2 on the low-voltage side
};

struct LoadRange {
    double min = -30; // up to 0.866 leading
    double max = 60;  // up to 0.5 lagging
};

struct WiringSettings {
    WiringSystem system = WiringSystem::ThreeWire;
    // Four-wire: the elements the channels are on, 1 and 2, 2 and 3 or 3 and 1 (the first is
    // channel 1's).
    int firstElement = 1;
    // Three-wire: the voltage terminal (1 to 3) that carries line B; 0 when not known.
    int commonTerminal = 0;
    LoadRange loadRange;
    double tolerance = 15;

    int secondElement() const { return firstElement % 3 + 1; }
};

// The numbers of one reading, as the panel's texts show them.
struct WiringReading {
    std::array<double, 2> volts{};
    std::array<double, 2> amperes{};
    std::array<double, 2> activePower{}; // kW, as shown: never negative
    std::array<double, 2> reactivePower{};
    MeterAngles angles;

    static WiringReading fromTexts(const ReadingTexts& texts);
};

enum class Sequence { Positive, Negative, Unknown };

// A three-wire connection that explains the reading.
struct ThreeWireMatch {
    ThreeWireConnection connection;
    double loadAngle = 0; // fitted, degrees, positive lagging
    double residual = 0;  // degrees: how far the reading lies from the model
    // The real energy over the registered; none when the meter stands still.
    std::optional<double> k;
};

// What one channel of a four-wire installation gets.
struct FourWireChannel {
    PhaseTap tap = PhaseTap::Own;
    bool reversed = false;
    double loadAngle = 0; // implied by this channel alone
    // cos θ / cos φ: the part of its phase's energy the element registers; none at cos φ = 0.
    std::optional<double> share;
    bool correct() const { return tap == PhaseTap::Own && !reversed; }
};

struct FourWireMatch {
    std::array<FourWireChannel, 2> channels;
    double loadAngle = 0;
    double residual = 0;
    int faults() const;
};

struct VectorGroupResult {
    int clock = 0;        // 0 to 11
    double angle = 0;     // U1U2
    double deviation = 0; // from clock × 30°, [-15, 15)
};

enum class LoadCharacter { Inductive, Capacitive, Resistive };

// What every channel shows, whatever the system.
struct ChannelPower {
    bool signal = false; // a voltage and a current the panel derives powers from
    LoadCharacter character = LoadCharacter::Resistive;
    bool flowsBack = false;
    double p = 0; // kW, signed
    double q = 0; // kvar, signed: negative when capacitive
};

struct WiringResult {
    WiringSettings settings;
    Sequence sequence = Sequence::Unknown;
    std::vector<ThreeWireMatch> threeWire; // best first
    std::vector<FourWireMatch> fourWire;   // best first
    std::optional<VectorGroupResult> group;
    std::array<ChannelPower, 2> channels;
    double totalP = 0;
    QStringList notes; // what makes the answer unreliable

    bool matched() const { return !threeWire.empty() || !fourWire.empty(); }
    // Names the best answer; the verdict is renewed only when this changes.
    QString bestKey() const;
};

// The correction factor: the real energy is the registered times K. None when the meter stands
// still (the sum of the two elements' cosines under 1% of √3 cos φ).
std::optional<double> correctionFactor(double theta1, double theta2, double phi);

// The clock number of a transformer from the angle its low-voltage side lags the high-voltage side.
VectorGroupResult vectorGroup(double u1u2);

WiringResult checkWiring(const WiringReading& reading, const WiringSettings& settings);

} // namespace pm
