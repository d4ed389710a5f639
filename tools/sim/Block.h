#pragma once

#include <QByteArray>
#include <array>

namespace pm::sim {

inline constexpr int kBlockSize = 22;

// One measurement in physical units, as the instrument's front end sees it.
struct Measurement {
    std::array<double, 2> volts{};   // channel 1, channel 2
    std::array<double, 2> amperes{}; // channel 1, channel 2
    // U1 to U2, I1 to I2, U1 to I1 (power angle of channel 1), U2 to I2 (of channel 2).
    std::array<double, 4> degrees{};
    double hertz = 0;
};

// The 22-byte measurement block as the instrument sends it: 16-bit little-endian raw values with
// the range code that gives each voltage and current the most resolution its field can hold.
// Values beyond the largest range are sent as the largest value; angles are sent from 0 to 359.9.
QByteArray encodeBlock(const Measurement& m);

} // namespace pm::sim
