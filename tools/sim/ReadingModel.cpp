#include "sim/ReadingModel.h"

#include <cmath>
#include <numbers>

namespace pm::sim {

namespace {
// Periods of the drifts, in seconds: unrelated, so the readings never repeat in step.
constexpr std::array<double, 10> kPeriods{47, 53, 31, 37, 41, 43, 59, 61, 29, 67};
} // namespace

ReadingModel::ReadingModel(quint32 seed) : seed_(seed), noise_(seed) {
    QRandomGenerator start(seed ^ 0x5EEDu);
    for (double& p : phase_)
        p = start.generateDouble() * 2 * std::numbers::pi;
}

double ReadingModel::drift(int quantity, double seconds, double amplitude) const {
    const auto q = size_t(quantity);
    return amplitude * std::sin(2 * std::numbers::pi * seconds / kPeriods[q] + phase_[q]);
}

double ReadingModel::noise(double amplitude) {
    return (noise_.generateDouble() * 2 - 1) * amplitude;
}

Measurement ReadingModel::live(double t) {
    Measurement m;
    m.volts = {230.0 + drift(0, t, 1.2) + noise(0.15), 229.5 + drift(1, t, 1.0) + noise(0.15)};
    m.amperes = {5.0 + drift(2, t, 0.25) + noise(0.01), 4.8 + drift(3, t, 0.2) + noise(0.01)};
    const double u1u2 = 120.0 + drift(4, t, 0.3) + noise(0.1);
    const double angle1 = 30.0 + drift(5, t, 2.0) + noise(0.2);
    const double angle2 = 32.0 + drift(6, t, 2.0) + noise(0.2);
    // I2 lags I1 by the voltages' displacement plus the difference of the power angles.
    m.degrees = {u1u2, u1u2 + angle2 - angle1, angle1, angle2};
    m.hertz = 50.0 + drift(7, t, 0.03) + noise(0.005);
    return m;
}

Measurement ReadingModel::record(int k) const {
    QRandomGenerator r(seed_ * 7919u + quint32(k));
    auto around = [&r](double centre, double spread) {
        return centre + (r.generateDouble() * 2 - 1) * spread;
    };
    Measurement m;
    m.volts = {around(228, 6), around(228, 6)};
    // Loads from a few hundred milliamperes to some tens of amperes, and now and then an idle
    // second channel, so that the stored records cover several current ranges.
    const double load = std::pow(10.0, around(0.3, 1.0));
    m.amperes = {load, k % 4 == 0 ? 0.0 : load * around(1.0, 0.2)};
    const double angle1 = around(25, 20);
    const double angle2 = around(25, 20);
    const double u1u2 = around(120, 1);
    m.degrees = {u1u2, u1u2 + angle2 - angle1, angle1, angle2};
    m.hertz = around(50, 0.05);
    return m;
}

} // namespace pm::sim
