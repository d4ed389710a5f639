#pragma once

#include "trend/TrendSeries.h"

#include <cstddef>
#include <vector>

namespace pm {

// What one quantity did over readings [first, last): every reading counts once, whatever the
// gaps between them, and the extremes are those of the readings, not of a reduced drawing.
struct TrendStats {
    std::size_t count = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    qint64 minMsecs = 0; // the first reading at the minimum
    qint64 maxMsecs = 0; // the first reading at the maximum
};
TrendStats trendStats(const TrendSeries& series, Field field, std::size_t first, std::size_t last);

// A stretch without readings: more than kTrendGapMsecs between the reading at `from` and the next
// one at `to` (ms since the epoch).
struct TrendGap {
    qint64 from = 0;
    qint64 to = 0;
};
// The gaps that overlap the time from `from` to `to`, oldest first, at most `limit` of them (the
// widest are kept: those are the ones a plot can show).
std::vector<TrendGap> trendGaps(const TrendSeries& series, qint64 from, qint64 to,
                                std::size_t limit);

} // namespace pm
