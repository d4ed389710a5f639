#pragma once

#include "protocol/Reading.h"

#include <QtGlobal>
#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace pm {

// One live reading as the panel showed it, with the time it arrived (ms since the epoch, UTC).
struct TrendReading {
    qint64 msecs = 0;
    std::array<float, kFieldCount> values{};
    // Digits shown after the decimal point, so that a value is written back as it was shown.
    std::array<quint8, kFieldCount> decimals{};
    double value(Field f) const { return values[size_t(f)]; }
};

// The texts of one reading read back as numbers exactly as shown.
TrendReading trendReading(qint64 msecs, const ReadingTexts& texts);

// A week at one reading a second.
inline constexpr std::size_t kTrendCapacity = 7 * 24 * 3600;
// Readings further apart than this are not joined: the link was lost between them.
inline constexpr qint64 kTrendGapMsecs = 2000;
// More decimals than this are not kept.
inline constexpr int kTrendMaxDecimals = 7;

// Readings [first, last) of one quantity as runs of contiguous storage, for loops over a week.
struct TrendRun {
    std::span<const qint64> msecs;
    std::span<const float> values;
};

// Readings are summarised in blocks of this many as they arrive, so that a pass over a week
// (a redraw, the statistics of a span) looks at each block once instead of at every reading.
inline constexpr std::size_t kTrendBlock = 64;

// What one quantity did over a block of consecutive readings.
struct TrendBlock {
    std::size_t first = 0; // index of its oldest reading
    std::size_t count = 0;
    qint64 firstMsecs = 0;
    qint64 lastMsecs = 0;
    bool broken = false; // a gap of more than kTrendGapMsecs inside it
    float min = 0;
    float max = 0;
    qint64 minMsecs = 0; // the first reading at the minimum
    qint64 maxMsecs = 0; // the first reading at the maximum
    std::size_t minAt = 0;
    std::size_t maxAt = 0;
    double sum = 0;
};

// The readings of a session, oldest first, bounded: once full, each new reading pushes out the
// oldest. Appending costs the same at any length. Each quantity is stored on its own, so that a
// pass over one of them reads only its values and the times.
class TrendSeries {
public:
    explicit TrendSeries(std::size_t capacity = kTrendCapacity);

    // The texts of one reading, read back as numbers exactly as shown. A time before the newest
    // held (the system clock was set back) is taken as the newest, so the series stays in order.
    void append(qint64 msecs, const ReadingTexts& texts);
    void append(const TrendReading& reading);
    // A reading of a file as it was written, out of time order or not; once all are in,
    // sortByTime() puts them in order (readings of one time stay in the order they came).
    void appendAsWritten(const TrendReading& reading);
    void sortByTime();
    void clear();

    std::size_t size() const { return msecs_.size(); }
    bool empty() const { return size() == 0; }
    std::size_t capacity() const { return capacity_; }
    // True once readings have been pushed out: the series then starts later than the session.
    bool full() const { return size() == capacity_; }
    // i = 0 is the oldest reading held.
    TrendReading at(std::size_t i) const;
    qint64 msecsAt(std::size_t i) const { return msecs_[slot(i)]; }
    float valueAt(std::size_t i, Field f) const { return values_[size_t(f)][slot(i)]; }
    // The first reading at or after msecs (size() when none): readings are in time order.
    std::size_t lowerBound(qint64 msecs) const;
    // At most two runs, oldest first.
    std::array<TrendRun, 2> runs(std::size_t first, std::size_t last, Field f) const;
    // Readings [first, last) of one quantity, oldest first: whole blocks are offered to
    // block(const TrendBlock&), which returns false to have their readings one by one; the
    // others go to reading(index, msecs, value).
    template <typename OnReading, typename OnBlock>
    void scan(std::size_t first, std::size_t last, Field f, OnReading&& reading,
              OnBlock&& block) const;

private:
    // Extremes and sum of one quantity over the slots of a block written so far.
    struct Summary {
        float min = 0;
        float max = 0;
        quint8 minOffset = 0;
        quint8 maxOffset = 0;
        double sum = 0;
    };
    static_assert(kTrendBlock <= 256, "offsets in a block are kept in a byte");

    void store(qint64 msecs, const TrendReading& reading);
    // Slots are written in order from the start of each block, so a block's summary grows with
    // it and starts afresh when the ring comes round to it again.
    void summarise(std::size_t slot);
    TrendBlock blockAt(std::size_t slot, std::size_t index, std::size_t end, Field f) const;
    std::size_t slot(std::size_t i) const {
        const std::size_t s = head_ + i;
        return s < size() ? s : s - size();
    }

    std::size_t capacity_;
    std::size_t head_ = 0; // slot of the oldest reading
    std::vector<qint64> msecs_;
    std::array<std::vector<float>, kFieldCount> values_;
    std::vector<quint64> decimals_;                           // 3 bits per quantity
    std::array<std::vector<Summary>, kFieldCount> summaries_; // one per block of slots
    std::vector<bool> broken_;                                // one per block of slots
};

template <typename OnReading, typename OnBlock>
void TrendSeries::scan(std::size_t first, std::size_t last, Field f, OnReading&& reading,
                       OnBlock&& block) const {
    last = std::min(last, size());
    first = std::min(first, last);
    if (first == last)
        return;
    const std::vector<float>& values = values_[std::size_t(f)];
    std::size_t index = first;
    // Slots [from, to), in order; a block is summarised only when all of its slots are in.
    auto run = [&](std::size_t from, std::size_t to) {
        std::size_t s = from;
        while (s < to) {
            const std::size_t start = s - s % kTrendBlock;
            const std::size_t end = std::min(start + kTrendBlock, size());
            if (s == start && end <= to && block(blockAt(s, index, end, f))) {
                index += end - s;
                s = end;
                continue;
            }
            for (const std::size_t stop = std::min(to, end); s < stop; ++s, ++index)
                reading(index, msecs_[s], values[s]);
        }
    };
    const std::size_t a = slot(first);
    const std::size_t b = slot(last - 1) + 1;
    if (a < b) {
        run(a, b);
    } else {
        run(a, size());
        run(0, b);
    }
}

} // namespace pm
