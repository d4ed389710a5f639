#include "jobs/JobVerdict.h"

#include "analysis/WiringVerdict.h"

#include <cmath>

namespace pm {

CheckVerdict verdictOf(const WiringResult& result) {
    CheckVerdict v;
    v.verdict = wiringVerdict(result);
    if (!result.threeWire.empty()) {
        const ThreeWireMatch& best = result.threeWire.front();
        v.matched = true;
        // Correct only when no other connection fits and both elements are live: a check
        // filed as correct closes the question of back-billing.
        v.correct = best.connection.correct() && result.unique() && !result.dead;
        v.connection = best.connection.name();
        v.k = best.k;
        v.loadAngle = best.loadAngle;
        for (const ThreeWireMatch& m : result.threeWire)
            if (m.k.has_value() != best.k.has_value() ||
                (m.k && std::abs(*m.k - *best.k) >= 0.0005))
                v.ambiguous = true;
    } else if (result.dead && result.dead->live >= 0 && result.dead->k) {
        // One element dead: the other, taken as wired right on a balanced load, gives K.
        v.matched = true;
        v.connection = QStringLiteral("element %1 alone, taken as wired right")
                           .arg(elementLabel(result.settings, result.dead->live));
        v.k = result.dead->k;
        v.loadAngle = result.dead->loadAngle;
    } else if (!result.fourWire.empty()) {
        // A four-wire check names each element's current; it gives no K for the energy.
        const FourWireMatch& best = result.fourWire.front();
        v.matched = true;
        v.correct = best.faults() == 0;
        v.connection = QStringLiteral("I1 %1, I2 %2")
                           .arg(fourWireCurrent(result.settings, 0, best.channels[0]).code(),
                                fourWireCurrent(result.settings, 1, best.channels[1]).code());
        if (v.correct)
            v.k = 1.0;
        v.loadAngle = best.loadAngle;
    }
    return v;
}

} // namespace pm
