#include "trend/TrendReduce.h"

#include <algorithm>
#include <limits>

namespace pm {

namespace {

// Collects the extremes of the current column and hands them over in time order.
class Reducer {
public:
    Reducer(qint64 from, qint64 to, int columns)
        : from_(from), to_(to), span_(std::max<qint64>(to - from, 1)),
          columns_(std::max(columns, 1)) {}

    void add(qint64 t, float v) {
        const bool gap = seen_ && t - last_ > kTrendGapMsecs;
        if (!seen_ || gap || t >= columnEnd_) {
            flush();
            if (!seen_ || gap)
                segments_.emplace_back();
            startColumn(t);
        }
        if (!has_ || v < min_) {
            min_ = v;
            minT_ = t;
        }
        if (!has_ || v > max_) {
            max_ = v;
            maxT_ = t;
        }
        has_ = seen_ = true;
        last_ = t;
    }

    // A block of readings that all fall in the current column and join it unbroken changes
    // only its extremes; any other is taken a reading at a time.
    bool add(const TrendBlock& b) {
        if (!has_ || b.broken || b.firstMsecs - last_ > kTrendGapMsecs || b.lastMsecs >= columnEnd_)
            return false;
        if (b.min < min_) {
            min_ = b.min;
            minT_ = b.minMsecs;
        }
        if (b.max > max_) {
            max_ = b.max;
            maxT_ = b.maxMsecs;
        }
        last_ = b.lastMsecs;
        return true;
    }

    std::vector<TrendSegment> finish() {
        flush();
        return std::move(segments_);
    }

private:
    void startColumn(qint64 t) {
        // The neighbours that carry the line to the edges are columns of their own.
        if (t < from_) {
            columnEnd_ = from_;
            return;
        }
        if (t > to_) {
            columnEnd_ = std::numeric_limits<qint64>::max();
            return;
        }
        const qint64 column = (t - from_) * columns_ / span_;
        // The first time of the next column, ceil((column + 1) * span / columns); the last
        // column ends with the span.
        columnEnd_ = column + 1 >= columns_
                         ? to_ + 1
                         : from_ + ((column + 1) * span_ + columns_ - 1) / columns_;
    }

    void flush() {
        if (!has_)
            return;
        TrendSegment& s = segments_.back();
        if (minT_ == maxT_) {
            s.emplace_back(double(minT_), double(min_));
        } else if (minT_ < maxT_) {
            s.emplace_back(double(minT_), double(min_));
            s.emplace_back(double(maxT_), double(max_));
        } else {
            s.emplace_back(double(maxT_), double(max_));
            s.emplace_back(double(minT_), double(min_));
        }
        has_ = false;
    }

    qint64 from_;
    qint64 to_;
    qint64 span_;
    qint64 columns_;
    qint64 columnEnd_ = 0;
    qint64 last_ = 0;
    bool seen_ = false; // a reading has come
    bool has_ = false;  // the current column holds one
    float min_ = 0;
    float max_ = 0;
    qint64 minT_ = 0;
    qint64 maxT_ = 0;
    std::vector<TrendSegment> segments_;
};

} // namespace

std::vector<TrendSegment> reduceMinMax(const TrendSeries& series, Field field, qint64 from,
                                       qint64 to, int columns) {
    if (series.empty() || to < from)
        return {};
    std::size_t first = series.lowerBound(from);
    std::size_t last = series.lowerBound(to + 1);
    if (first > 0)
        --first;
    if (last < series.size())
        ++last;
    Reducer reducer(from, to, columns);
    series.scan(
        first, last, field, [&reducer](std::size_t, qint64 t, float v) { reducer.add(t, v); },
        [&reducer](const TrendBlock& b) { return reducer.add(b); });
    return reducer.finish();
}

} // namespace pm
