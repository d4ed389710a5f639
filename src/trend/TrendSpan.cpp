#include "trend/TrendSpan.h"

#include <algorithm>

namespace pm {

TrendStats trendStats(const TrendSeries& series, Field field, std::size_t first, std::size_t last) {
    TrendStats s;
    last = std::min(last, series.size());
    if (first >= last)
        return s;
    // Floats summed in double: a week of readings loses nothing to the running total.
    double sum = 0;
    float lo = series.valueAt(first, field);
    float hi = lo;
    std::size_t loAt = first;
    std::size_t hiAt = first;
    series.scan(
        first, last, field,
        [&](std::size_t index, qint64, float v) {
            sum += double(v);
            if (v < lo) {
                lo = v;
                loAt = index;
            }
            if (v > hi) {
                hi = v;
                hiAt = index;
            }
        },
        [&](const TrendBlock& b) {
            sum += b.sum;
            if (b.min < lo) {
                lo = b.min;
                loAt = b.minAt;
            }
            if (b.max > hi) {
                hi = b.max;
                hiAt = b.maxAt;
            }
            return true;
        });
    s.count = last - first;
    s.min = double(lo);
    s.max = double(hi);
    s.mean = sum / double(s.count);
    s.minMsecs = series.msecsAt(loAt);
    s.maxMsecs = series.msecsAt(hiAt);
    return s;
}

std::vector<TrendGap> trendGaps(const TrendSeries& series, qint64 from, qint64 to,
                                std::size_t limit) {
    std::vector<TrendGap> gaps;
    if (series.size() < 2 || to < from || limit == 0)
        return gaps;
    // The reading before the span starts a gap that reaches into it.
    std::size_t first = series.lowerBound(from);
    first = first > 0 ? first - 1 : 0;
    const std::size_t last = std::min(series.size(), series.lowerBound(to + 1) + 1);
    if (last <= first + 1)
        return gaps;
    qint64 previous = 0;
    bool seen = false;
    auto reading = [&](std::size_t, qint64 t, float) {
        if (seen && t - previous > kTrendGapMsecs)
            gaps.push_back({previous, t});
        previous = t;
        seen = true;
    };
    // A block without a gap inside matters only at its ends.
    series.scan(first, last, Field::U1, reading, [&](const TrendBlock& b) {
        if (b.broken)
            return false;
        reading(b.first, b.firstMsecs, 0);
        previous = b.lastMsecs;
        return true;
    });
    if (gaps.size() > limit) {
        std::ranges::nth_element(
            gaps, gaps.begin() + std::ptrdiff_t(limit),
            [](const TrendGap& a, const TrendGap& b) { return a.to - a.from > b.to - b.from; });
        gaps.resize(limit);
        std::ranges::sort(gaps, {}, &TrendGap::from);
    }
    return gaps;
}

} // namespace pm
