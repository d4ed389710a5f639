#pragma once

#include "sim/Block.h"

#include <QString>
#include <array>
#include <optional>

class QCommandLineParser;

namespace pm::sim {

struct SimConfig;

// A balanced installation wired one way: what the meter's two channels are connected to.
struct WiringScenario {
    enum System { ThreeWire, FourWire, Group };
    System system = ThreeWire;
    std::array<char, 3> terminals{'A', 'B', 'C'}; // three-wire: lines on voltage terminals 1-3
    std::array<int, 2> elements{1, 2};            // four-wire: the channels' elements
    // The current each channel gets: a line and whether it is reversed.
    std::array<char, 2> currentLines{'A', 'C'};
    std::array<bool, 2> reversed{false, false};
    int clock = 0; // group: the low-voltage side lags by clock × 30°

    double loadAngle = 30;  // degrees, positive lagging
    double lineVolts = 100; // line-to-line
    double amperes = 5;

    // Faults beyond the connection itself.
    std::array<bool, 2> voltageReversed{false, false}; // a voltage transformer the wrong way round
    bool negativeSequence = false;                     // the supply turns the other way
    std::array<bool, 2> noVoltage{false, false};       // a blown fuse, a lead off
    std::array<bool, 2> noCurrent{false, false};       // a shorted or open current circuit
    // Phase C's own load angle and current, for an unbalanced load; none: as phase A's.
    std::optional<double> loadAngleC;
    std::optional<double> amperesC;
};

// "3p3w:BAC:-C:+A", "3p4w:23:+B:-C", "group:11" (the parts after the system may be left off:
// the correct connection); none, with the reason in `error`, when the text is not one.
std::optional<WiringScenario> parseWiringScenario(const QString& text, QString& error);

// What the meter measures on that installation.
Measurement wiringMeasurement(const WiringScenario& scenario);

// --wiring, --load-angle, --line-voltage, --current and the faults beyond the connection:
// --reversed-vt, --negative-sequence, --dead, --load-angle-c and --current-c.
void addWiringOptions(QCommandLineParser& parser);
// Sets the fixed live reading of the scenario named; the problem with the options, if any.
QString readWiringOptions(const QCommandLineParser& parser, SimConfig& config);

} // namespace pm::sim
