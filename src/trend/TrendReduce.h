#pragma once

#include "trend/TrendSeries.h"

#include <QPointF>
#include <vector>

namespace pm {

// One unbroken run of a plotted line: x is ms since the epoch, y the value.
using TrendSegment = std::vector<QPointF>;

// The readings of one quantity between from and to (ms since the epoch), reduced for drawing on
// `columns` pixel columns: at most the minimum and the maximum of each column, in time order, so a
// week draws as fast as a minute. The readings just outside the span come along, so that the
// line runs to both edges. A gap of more than kTrendGapMsecs between two readings starts a new
// segment: the line never joins across a lost link.
std::vector<TrendSegment> reduceMinMax(const TrendSeries& series, Field field, qint64 from,
                                       qint64 to, int columns);

} // namespace pm
