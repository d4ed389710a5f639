#pragma once

#include "protocol/Reading.h"

#include <QtGlobal>
#include <array>
#include <cstddef>
#include <vector>

namespace pm {

// One live reading as the panel showed it, with the time it arrived (ms since the epoch, UTC).
struct TrendReading {
    qint64 msecs = 0;
    std::array<float, kFieldCount> values{};
    double value(Field f) const { return values[size_t(f)]; }
};

// A week at one reading a second.
inline constexpr std::size_t kTrendCapacity = 7 * 24 * 3600;
// Readings further apart than this are not joined: the link was lost between them.
inline constexpr qint64 kTrendGapMsecs = 2000;

// The readings of a session, oldest first, bounded: once full, each new reading pushes out the
// oldest. Appending costs the same at any length.
class TrendSeries {
public:
    explicit TrendSeries(std::size_t capacity = kTrendCapacity);

    // The texts of one reading, read back as numbers exactly as shown.
    void append(qint64 msecs, const ReadingTexts& texts);
    void append(const TrendReading& reading);
    void clear();

    std::size_t size() const;
    bool empty() const { return size() == 0; }
    std::size_t capacity() const;
    // i = 0 is the oldest reading held.
    const TrendReading& at(std::size_t i) const;
    // The first reading at or after msecs (size() when none): readings are in time order.
    std::size_t lowerBound(qint64 msecs) const;
};

} // namespace pm
