#pragma once

#include "analysis/WiringCheck.h"
#include "jobs/Ratio.h"

#include <QtGlobal>

namespace pm {

class TrendSeries;

// The energy of a period corrected from a recording of it (the Trend tab's CSV log) rather than
// from one check: each reading is judged from its own angles, and its K times what the meter
// registered is the real power until the next reading.
struct RecordingCorrection {
    double registeredKwh = 0; // primary side, what the meter registered over the covered time
    double realKwh = 0;       // the same, corrected reading by reading
    qint64 coveredMsecs = 0;  // time the readings with a K stand for
    double coveredShare = 0;  // of the period, 0 to 1
    int readings = 0;         // readings inside the period
    int withoutK = 0;         // of them, not explained or with the meter standing still
};

// A reading stands for the time until the next one, at most kTrendGapMsecs (the link was lost
// beyond it); the last reading of the recording stands for one second, the meter's interval. Only
// the part inside [fromMsecs, toMsecs) counts. Readings no connection explains, that several
// connections with different K explain, or where the meter stands still, have no K: their time is
// left uncovered.
RecordingCorrection correctFromRecording(const TrendSeries& series, qint64 fromMsecs,
                                         qint64 toMsecs, const WiringSettings& settings,
                                         const Ratio& ct, const Ratio& vt);

} // namespace pm
