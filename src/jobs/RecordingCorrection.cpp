#include "jobs/RecordingCorrection.h"

#include "jobs/JobVerdict.h"
#include "trend/TrendSeries.h"

#include <algorithm>

namespace pm {

namespace {

constexpr qint64 kReadingInterval = 1000;
constexpr double kMsecsPerHour = 3600.0 * 1000.0;

WiringReading wiringReading(const TrendSeries& series, std::size_t i) {
    return WiringReading::fromValues([&](Field f) { return double(series.valueAt(i, f)); });
}

} // namespace

RecordingCorrection correctFromRecording(const TrendSeries& series, qint64 fromMsecs,
                                         qint64 toMsecs, const WiringSettings& settings,
                                         const Ratio& ct, const Ratio& vt) {
    RecordingCorrection c;
    if (toMsecs <= fromMsecs)
        return c;
    const double factor = ct.factor() * vt.factor();
    // A reading just before the period still stands for its start.
    std::size_t i = series.lowerBound(fromMsecs);
    if (i > 0 && series.msecsAt(i - 1) + kTrendGapMsecs > fromMsecs)
        --i;
    for (; i < series.size() && series.msecsAt(i) < toMsecs; ++i) {
        const qint64 start = series.msecsAt(i);
        const qint64 hold = i + 1 < series.size()
                                ? std::min(series.msecsAt(i + 1) - start, kTrendGapMsecs)
                                : kReadingInterval;
        const qint64 begin = std::max(start, fromMsecs);
        const qint64 end = std::min(start + hold, toMsecs);
        if (end <= begin)
            continue;
        ++c.readings;
        const WiringResult result = checkWiring(wiringReading(series, i), settings);
        const CheckVerdict verdict = verdictOf(result);
        if (!verdict.k || verdict.ambiguous) {
            ++c.withoutK;
            continue;
        }
        const double hours = double(end - begin) / kMsecsPerHour;
        const double registered = result.totalP * factor * hours;
        c.registeredKwh += registered;
        c.realKwh += *verdict.k * registered;
        c.coveredMsecs += end - begin;
    }
    c.coveredShare = double(c.coveredMsecs) / double(toMsecs - fromMsecs);
    return c;
}

} // namespace pm
