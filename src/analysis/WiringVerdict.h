#pragma once

#include "analysis/WiringCheck.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace pm {

// "Three-phase three-wire, two elements"
QString systemName(const WiringSettings& settings);
// "positive", "negative", "unknown"
QString sequenceName(Sequence sequence);
// "inductive", "capacitive", "resistive"
QString characterName(LoadCharacter character);
// "Load angle 25.8° lagging (PF 0.900)"; past ±90° "Load angle 200.0°, export (PF -0.940)"
QString loadAngleText(double phi);
// "3.583", "-3.583", or "stands still"
QString correctionText(const std::optional<double>& k);

// The current a four-wire element gets, by its phase: element 2's lagging phase is C.
CurrentTap fourWireCurrent(const WiringSettings& settings, int channel, const FourWireChannel& c);

// The answer in words: "Element 1 current reversed (I1 = −Ia). The meter registers 27.9% of the
// energy: K = 3.583."
QString wiringVerdict(const WiringResult& result);
// Every match, a line each with its load angle, PF and K (or shares), the best first.
QStringList matchLines(const WiringResult& result);
// The matches after the best, a line each.
QStringList otherMatchLines(const WiringResult& result);
// What the answer rests on: "Three-phase three-wire, two elements; line B on terminal 2; load
// angle −60° to 60°, tolerance 15°".
QString settingsText(const WiringSettings& settings);
// The load angle the answer rests on, if any: the best match's, or the live element's.
std::optional<double> fittedLoadAngle(const WiringResult& result);
// The load's character, each channel's own angle, power flow and signed powers, and the two
// elements' total.
QStringList channelLines(const WiringResult& result);

// The arrows of the diagram named by the best match: "U1 = Uab", "I2 = −Ic"; empty where the
// match says nothing. In the order U1, U2, I1, I2.
std::array<QString, 4> arrowNames(const WiringResult& result);
// Where the correct connection puts each phasor, in degrees lagging U1 (U1 itself at 0); the
// currents only once a load angle is known.
std::array<std::optional<double>, 4> idealDirections(const WiringResult& result);

} // namespace pm
