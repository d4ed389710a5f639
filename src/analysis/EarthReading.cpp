#include "analysis/EarthReading.h"

#include "protocol/Fmtval.h"

#include <algorithm>

namespace pm {

namespace {

// A terminal on the earthed line reads a few volts at most against the line voltage of another.
constexpr double kEarthedShare = 0.20;
// Two terminals at line voltage to earth read alike within this.
constexpr double kEqualShare = 0.20;
// The panel shows no voltage below this.
constexpr double kMinVolts = 10;

QString volts(double v) {
    return fmtval(float(v), 1) + QStringLiteral(" V");
}

} // namespace

QString earthReadingInstructions() {
    return QStringLiteral("Put the U1 leads between terminal 1 and earth and the U2 leads between "
                          "terminal 3 and earth; the next reading finds line B.");
}

EarthFinding lineBFromEarth(double u1, double u2) {
    const QString both = QStringLiteral("U1 = %1, U2 = %2").arg(volts(u1), volts(u2));
    const double high = std::max(u1, u2), low = std::min(u1, u2);
    if (high < kMinVolts)
        return {0, QStringLiteral("Both terminals read next to nothing to earth (%1): the leads "
                                  "are not on terminals 1, 3 and earth, or the secondary is not "
                                  "earthed. Line B not found.")
                       .arg(both)};
    if (low < kEarthedShare * high) {
        const int terminal = u1 < u2 ? 1 : 3;
        return {terminal, QStringLiteral("Terminal %1 is at earth (%2): line B is on terminal %1.")
                              .arg(terminal)
                              .arg(both)};
    }
    if (high - low <= kEqualShare * high)
        return {2, QStringLiteral("Terminals 1 and 3 are both at line voltage to earth (%1): line "
                                  "B is on terminal 2.")
                       .arg(both)};
    return {0, QStringLiteral("Terminals 1 and 3 read unequal voltages to earth and neither is at "
                              "earth (%1): the secondary may not be earthed on line B. Line B not "
                              "found.")
                   .arg(both)};
}

} // namespace pm
