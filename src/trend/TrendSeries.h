#pragma once

#include "protocol/Reading.h"

#include <QtGlobal>
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

private:
    void store(qint64 msecs, const TrendReading& reading);
    std::size_t slot(std::size_t i) const {
        const std::size_t s = head_ + i;
        return s < size() ? s : s - size();
    }

    std::size_t capacity_;
    std::size_t head_ = 0; // slot of the oldest reading
    std::vector<qint64> msecs_;
    std::array<std::vector<float>, kFieldCount> values_;
    std::vector<quint64> decimals_; // 3 bits per quantity
};

} // namespace pm
