#pragma once

#include "protocol/Reading.h"

#include <array>

namespace pm {

// The 17 values of the panel as the outside world names them: the key of the MQTT state message,
// the unit the panel shows them in, and the Home Assistant device class (none for angles).
struct Quantity {
    Field field;
    const char* key;         // "U1", "U1I1", "PF2", ...
    const char* unit;        // "V", "A", "°", "Hz", "kVA", "kW", "kvar"; none for a power factor
    const char* deviceClass; // nullptr for angles
    const char* title;       // "Voltage 1", shown by Home Assistant
};

// In the order of the state message: the measured values, then each channel's powers.
inline constexpr std::array<Quantity, kFieldCount> kQuantities{{
    {Field::U1, "U1", "V", "voltage", "Voltage 1"},
    {Field::U2, "U2", "V", "voltage", "Voltage 2"},
    {Field::I1, "I1", "A", "current", "Current 1"},
    {Field::I2, "I2", "A", "current", "Current 2"},
    {Field::PhaseU1U2, "U1U2", "\u00B0", nullptr, "Angle U1-U2"},
    {Field::PhaseI1I2, "I1I2", "\u00B0", nullptr, "Angle I1-I2"},
    {Field::PhaseU1I1, "U1I1", "\u00B0", nullptr, "Angle U1-I1"},
    {Field::PhaseU2I2, "U2I2", "\u00B0", nullptr, "Angle U2-I2"},
    {Field::Freq, "F", "Hz", "frequency", "Frequency"},
    {Field::S1, "S1", "kVA", "apparent_power", "Apparent power 1"},
    {Field::PF1, "PF1", nullptr, "power_factor", "Power factor 1"},
    {Field::P1, "P1", "kW", "power", "Active power 1"},
    {Field::Q1, "Q1", "kvar", "reactive_power", "Reactive power 1"},
    {Field::S2, "S2", "kVA", "apparent_power", "Apparent power 2"},
    {Field::PF2, "PF2", nullptr, "power_factor", "Power factor 2"},
    {Field::P2, "P2", "kW", "power", "Active power 2"},
    {Field::Q2, "Q2", "kvar", "reactive_power", "Reactive power 2"},
}};

} // namespace pm
