#pragma once

#include "analysis/WiringModel.h"
#include "protocol/Reading.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace pm {

class ReadingTexts;

enum class WiringSystem {
    ThreeWire,   // three-phase three-wire, two elements
    FourWire,    // three-phase four-wire, two of the three elements
    VectorGroup, // U1 on a transformer's high-voltage side, U2 on the low-voltage side
};

// The load angles to expect, lagging positive, from `min` turning to `max`; it may wrap past
// ±180° (120 to 240 is export metering) and spans at most the full turn.
struct LoadRange {
    double min = -60; // PF 0.5 leading
    double max = 60;  // PF 0.5 lagging

    bool contains(double phi) const;
    // `phi` as a number within the range (200 in 120 to 240, not -160).
    double shown(double phi) const;
    // How far `phi` lies outside the range, in degrees; 0 inside.
    double distance(double phi) const;
};
// The ranges the tab offers by name.
inline constexpr LoadRange kImportRange{-60, 60};
inline constexpr LoadRange kExportRange{120, 240};
inline constexpr LoadRange kAnyRange{-180, 180};

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

// The element a channel is on: 1 and 2 on a three-wire meter, the chosen pair on a four-wire one.
int elementOf(const WiringSettings& settings, int channel);
// The same as text, "3".
QString elementLabel(const WiringSettings& settings, int channel);

// The numbers of one reading, as the panel's texts show them.
struct WiringReading {
    std::array<double, 2> volts{};
    std::array<double, 2> amperes{};
    std::array<double, 2> activePower{}; // kW, as shown: never negative
    std::array<double, 2> reactivePower{};
    MeterAngles angles;

    static WiringReading fromTexts(const ReadingTexts& texts);
    // From the value of each field, as a recording keeps them.
    static WiringReading fromValues(const std::function<double(Field)>& value);
};

enum class Sequence { Positive, Negative, Unknown };

// A three-wire connection that explains the reading.
struct ThreeWireMatch {
    ThreeWireConnection connection;
    double loadAngle = 0; // fitted, degrees, positive lagging, within the load range
    double residual = 0;  // degrees: how far the reading lies from the model
    // The real energy over the registered; none when the meter stands still. Exact for any
    // load, from the measured phasors as this connection routes them.
    std::optional<double> k;
    // How far apart the load angles the two elements imply lie (element 2's less element 1's).
    double spread = 0;
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
    // Each channel's current, named against its element's own phase.
    std::array<FourWireChannel, 2> channels;
    // The two elements' voltages swapped (the voltages in negative sequence).
    bool voltagesSwapped = false;
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

// Inductive when the current lags, capacitive when it leads, resistive when |sin φ| < 0.05.
LoadCharacter loadCharacter(double phi);

// What every channel shows, whatever the system.
struct ChannelPower {
    bool signal = false; // a voltage and a current the panel derives powers from
    double angle = 0;    // the element's own power angle, U1I1 or U2I2
    bool flowsBack = false;
    double p = 0; // kW, signed
    double q = 0; // kvar, signed: negative when capacitive
};

// A channel without a voltage (under 10 V) or without a current (under 0.02 A): the meter
// registers the other element only, if that.
struct DeadElement {
    std::array<bool, 2> noVoltage{};
    std::array<bool, 2> noCurrent{};
    // The channel with both, or -1. Its element taken as wired right on a balanced load gives
    // the load angle and K.
    int live = -1;
    double loadAngle = 0;
    std::optional<double> k;
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
    std::optional<DeadElement> dead;
    // With no match in the load range: the connection that fits nearest outside it, its load
    // angle as it is (within ±180°).
    std::optional<ThreeWireMatch> nearMiss;

    bool matched() const { return !threeWire.empty() || !fourWire.empty(); }
    // One answer remains: one match, or a vector group.
    bool unique() const;
    // Names the best answer.
    QString bestKey() const;
    // Names match n of the list the system uses.
    QString matchKey(size_t n) const;
    // Puts the match named `key` first, if it is among the matches: what the tab holds steady.
    void holdFirst(const QString& key);
};

// The correction factor: the real energy is the registered times K. None when the meter stands
// still (the sum of the two elements' cosines under 1% of √3 cos φ).
std::optional<double> correctionFactor(double theta1, double theta2, double phi);
// The same from the two powers: none when the registered power is under 1% of the real.
std::optional<double> correctionFactorOf(double truePower, double registered);
// K of connection `c` on this reading, exact for any load.
std::optional<double> exactCorrectionFactor(const ThreeWireConnection& c,
                                            const WiringReading& reading);

// The clock number of a transformer from the angle its low-voltage side lags the high-voltage side.
VectorGroupResult vectorGroup(double u1u2);

WiringResult checkWiring(const WiringReading& reading, const WiringSettings& settings);

} // namespace pm
