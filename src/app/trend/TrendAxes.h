#pragma once

#include "app/trend/TrendSelection.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace pm {

// One label of the time axis, on a round instant of local time.
struct TimeTick {
    qint64 msecs = 0;
    QString label;
};
// The ticks between from and to (ms since the epoch): every 1, 2, 5, 10, 15 or 30 seconds or
// minutes, 1, 2, 3, 6 or 12 hours, or a number of days at midnight, the shortest step that gives
// at most `maxTicks`. Midnight is labelled with its date, other instants with the time.
std::vector<TimeTick> trendTimeTicks(qint64 from, qint64 to, int maxTicks);
// The step trendTimeTicks takes (ms).
qint64 trendTimeStep(qint64 length, int maxTicks);

// What a quantity of that unit can be: no negative voltage, current, S or frequency, a power
// factor within -1..1, an angle within 0..360. Active and reactive power take either sign.
struct ValueLimits {
    std::optional<double> low;
    std::optional<double> high;
};
ValueLimits trendLimits(TrendUnit unit);

// A value axis: its range and where its grid lines fall (at anchor + k * step).
struct ValueScale {
    double min = 0;
    double max = 1;
    double anchor = 0;
    double step = 0.25;
    bool contains(double lo, double hi) const { return lo >= min && hi <= max; }
    int intervals() const;
    // The grid lines the axis draws from min to max.
    int ticks() const;
    // Finite, with a few grid lines a double can step through: an axis that can be drawn.
    bool drawable() const;
};
// The most grid lines a value axis is ever given.
inline constexpr int kMaxValueTicks = 25;

// The left axis: round numbers around the values lo..hi, within what the unit can be.
ValueScale trendLeftScale(double lo, double hi, TrendUnit unit);
// The right axis on the left one's grid lines: the same number of intervals, each a round step
// of its own, holding lo..hi within what the unit can be.
ValueScale trendRightScale(double lo, double hi, TrendUnit unit, int intervals);
// Ctrl+wheel: the scale shown `factor` times as wide about `share` of its height (0 bottom, 1 top),
// the grid refined or thinned so that it stays readable; both axes zoomed alike keep sharing it.
ValueScale trendZoomScale(const ValueScale& scale, double factor, double share, double refine);
// The refinement trendZoomScale takes for the left axis zoomed to that width, so the right one
// follows it.
double trendGridRefinement(const ValueScale& scale, double factor);

} // namespace pm
