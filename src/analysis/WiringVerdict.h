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
// "Load angle 25.8° lagging (PF 0.900)"
QString loadAngleText(double phi);
// "3.583", "-3.583", or "stands still"
QString correctionText(const std::optional<double>& k);

// The current a four-wire element gets, by its phase: element 2's lagging phase is C.
CurrentTap fourWireCurrent(const WiringSettings& settings, int channel, const FourWireChannel& c);

// The answer in words: "Element 1 current reversed (I1 = −Ia). The meter registers 27.9% of the
// energy: K = 3.583."
QString wiringVerdict(const WiringResult& result);
// The matches after the best, a line each.
QStringList otherMatchLines(const WiringResult& result);
// Each channel's load character, power flow and signed powers, and the two elements' total.
QStringList channelLines(const WiringResult& result);

// The arrows of the diagram named by the best match: "U1 = Uab", "I2 = −Ic"; empty where the
// match says nothing. In the order U1, U2, I1, I2.
std::array<QString, 4> arrowNames(const WiringResult& result);
// Where the correct connection puts each phasor, in degrees lagging U1 (U1 itself at 0); the
// currents only once a load angle is known.
std::array<std::optional<double>, 4> idealDirections(const WiringResult& result);

} // namespace pm
