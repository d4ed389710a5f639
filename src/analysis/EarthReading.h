#pragma once

#include <QString>

namespace pm {

// Where line B of the voltage transformers is earthed (the usual case), one reading with U1
// between terminal 1 and earth and U2 between terminal 3 and earth finds the terminal that
// carries it.
struct EarthFinding {
    int terminal = 0; // 1 to 3; 0 when the reading cannot tell
    QString text;     // what was found, or why nothing could be
};

// What to tell the engineer before the reading.
QString earthReadingInstructions();

EarthFinding lineBFromEarth(double u1, double u2);

} // namespace pm
