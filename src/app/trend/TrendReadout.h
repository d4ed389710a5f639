#pragma once

#include "protocol/Reading.h"

#include <QStringList>
#include <cstddef>
#include <optional>
#include <vector>

namespace pm {

class TrendSeries;
struct TrendStats;

// The reading of [first, last) nearest in time to `at`; none when there is none.
std::optional<std::size_t> nearestReading(const TrendSeries& series, qint64 at, std::size_t first,
                                          std::size_t last);

// The read-out of one cursor: its time, then each quantity as the panel shows it, with its unit
// ("U1  230.12 V", "U1I1  30.0°").
QStringList trendReadoutLines(const TrendSeries& series, std::size_t index,
                              const std::vector<Field>& fields);
// Between two cursors: the time from the first to the second ("Δt 00:01:05") and what each
// quantity changed by ("ΔU1  +1.20 V").
QStringList trendDifferenceLines(const TrendSeries& series, std::size_t from, std::size_t to,
                                 const std::vector<Field>& fields);
// "1 d 02:00:05", "00:01:05": a length of time for a reader.
QString trendDurationText(qint64 msecs);
// One row of the statistics: minimum, maximum and mean as the panel shows them, the times of the
// extremes, with their dates when `withDate` (a span of days).
QStringList trendStatsCells(Field f, const TrendStats& stats, int decimals, bool withDate = false);

} // namespace pm
