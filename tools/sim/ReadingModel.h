#pragma once

#include "sim/Block.h"

#include <QRandomGenerator>

namespace pm::sim {

// A two-channel load on a 230 V, 50 Hz three-phase supply: the second channel's voltage lags the
// first by 120 degrees, both loads draw about 5 A at a 30 degree power angle. Every quantity
// drifts slowly and carries a little noise, both drawn from the seed, so that a run can be
// repeated exactly.
class ReadingModel {
public:
    explicit ReadingModel(quint32 seed);

    // The live reading `seconds` after the start.
    Measurement live(double seconds);
    // Stored record k (from 1): a different load for each record, the same for the same seed.
    Measurement record(int k) const;

private:
    double drift(int quantity, double seconds, double amplitude) const;
    double noise(double amplitude);

    quint32 seed_;
    QRandomGenerator noise_;
    std::array<double, 10> phase_{}; // where each quantity's drift starts, per seed
};

} // namespace pm::sim
