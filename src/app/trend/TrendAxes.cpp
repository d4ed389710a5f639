#include "app/trend/TrendAxes.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace pm {

namespace {
// The narrowest span a value axis shows, as a share of the size of its values.
constexpr double kNarrowest = 1e-9;
constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr std::array<qint64, 23> kSteps = {
    kSecond,  2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
    kMinute,  2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour,    2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   kDay,
    2 * kDay, 7 * kDay,    14 * kDay,   28 * kDay,    56 * kDay};

// 1, 2, 2.5 and 5 times a power of ten: the steps a reader adds up at a glance.
double niceStep(double raw) {
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= raw * (1 - 1e-9))
            return m * power;
    return 10 * power;
}

// Angles read best in steps that divide a turn.
double angleStep(double raw) {
    for (double s : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 45.0, 90.0})
        if (s >= raw * (1 - 1e-9))
            return s;
    return raw <= 180 ? 180 : raw <= 360 ? 360 : niceStep(raw);
}

double stepFor(double raw, TrendUnit unit) {
    return unit == TrendUnit::Degree ? angleStep(raw) : niceStep(raw);
}

// A flat line still gets room above and below it, within what the quantity can be. So does a
// span too narrow for its size to be cut into steps a double can add up (1e20 + 1 is 1e20).
void widenFlat(double& lo, double& hi, const ValueLimits& limits) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo) {
        lo = 0;
        hi = 1;
    }
    const double size = std::max(std::abs(lo), std::abs(hi));
    if (hi - lo < std::max(1e-9, size * kNarrowest)) {
        const double room = std::max(std::abs(hi) * 0.01, 0.01);
        lo -= room;
        hi += room;
    }
    if (limits.low)
        lo = std::max(lo, *limits.low);
    if (limits.high)
        hi = std::min(hi, *limits.high);
}

double floorTo(double v, double step) {
    return std::floor(v / step + 1e-9) * step;
}
double ceilTo(double v, double step) {
    return std::ceil(v / step - 1e-9) * step;
}

constexpr int kLeftIntervals = 5;
} // namespace

qint64 trendTimeStep(qint64 length, int maxTicks) {
    maxTicks = std::max(maxTicks, 1);
    for (qint64 step : kSteps)
        if (length / step < maxTicks)
            return step;
    return kSteps.back() * (length / kSteps.back() / maxTicks + 1);
}

std::vector<TimeTick> trendTimeTicks(qint64 from, qint64 to, int maxTicks) {
    std::vector<TimeTick> ticks;
    if (to <= from)
        return ticks;
    const qint64 step = trendTimeStep(to - from, maxTicks);
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(from);
    const QString timeFormat =
        step < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const QString dateFormat = QStringLiteral("MM-dd");
    auto add = [&](const QDateTime& at) {
        const qint64 msecs = at.toMSecsSinceEpoch();
        if (msecs < from || msecs > to)
            return;
        const bool midnight = at.time() == QTime(0, 0);
        ticks.push_back({msecs, at.toString(midnight ? dateFormat : timeFormat)});
    };
    if (step >= kDay) {
        // Whole days from midnight, counted from the day the epoch began in local time so that
        // a step of several days lands on the same days whatever the span.
        const qint64 days = step / kDay;
        QDate day = first.date();
        const qint64 offset = QDate(1970, 1, 5).daysTo(day) % days; // 1970-01-05 was a Monday
        day = day.addDays(offset == 0 ? 0 : days - offset);
        for (; QDateTime(day, QTime(0, 0)).toMSecsSinceEpoch() <= to; day = day.addDays(days))
            add(QDateTime(day, QTime(0, 0)));
        return ticks;
    }
    // Within a day, counted from its local midnight: round instants on the clock on the wall.
    QDate day = first.date();
    for (;;) {
        const qint64 midnight = QDateTime(day, QTime(0, 0)).toMSecsSinceEpoch();
        if (midnight > to)
            break;
        const qint64 nextMidnight = QDateTime(day.addDays(1), QTime(0, 0)).toMSecsSinceEpoch();
        qint64 t = midnight;
        if (from > midnight)
            t = midnight + (from - midnight + step - 1) / step * step;
        for (; t < nextMidnight && t <= to; t += step)
            add(QDateTime::fromMSecsSinceEpoch(t));
        day = day.addDays(1);
    }
    return ticks;
}

ValueLimits trendLimits(TrendUnit unit) {
    switch (unit) {
    case TrendUnit::Volt:
    case TrendUnit::Ampere:
    case TrendUnit::KiloVoltAmpere:
    case TrendUnit::Hertz:
        return {0.0, std::nullopt};
    case TrendUnit::PowerFactor:
        return {-1.0, 1.0};
    case TrendUnit::Degree:
        return {0.0, 360.0};
    case TrendUnit::Kilowatt:
    case TrendUnit::Kilovar:
        break;
    }
    return {};
}

int ValueScale::intervals() const {
    return step > 0 ? int(std::lround((max - min) / step)) : 1;
}

int ValueScale::ticks() const {
    if (!(step > 0) || !std::isfinite(min) || !std::isfinite(max) || max < min)
        return 0;
    const double first = anchor - std::floor((anchor - min) / step) * step;
    const double count = std::floor((max - first) / step) + 1;
    return count > 1e9 ? std::numeric_limits<int>::max() : int(std::max(count, 0.0));
}

bool ValueScale::drawable() const {
    const double size = std::max(std::abs(min), std::abs(max));
    return std::isfinite(min) && std::isfinite(max) && std::isfinite(anchor) && max > min &&
           step >= size * kNarrowest * 1e-3 && ticks() <= kMaxValueTicks;
}

ValueScale trendLeftScale(double lo, double hi, TrendUnit unit) {
    const ValueLimits limits = trendLimits(unit);
    widenFlat(lo, hi, limits);
    ValueScale s;
    s.step = stepFor((hi - lo) / kLeftIntervals, unit);
    s.min = floorTo(lo, s.step);
    s.max = ceilTo(hi, s.step);
    // The limits are round numbers themselves: clamping keeps the grid on round values.
    if (limits.low)
        s.min = std::max(s.min, *limits.low);
    if (limits.high)
        s.max = std::min(s.max, *limits.high);
    if (s.max <= s.min)
        s.max = s.min + s.step;
    s.anchor = s.min;
    return s;
}

ValueScale trendRightScale(double lo, double hi, TrendUnit unit, int intervals) {
    const ValueLimits limits = trendLimits(unit);
    intervals = std::max(intervals, 1);
    widenFlat(lo, hi, limits);
    ValueScale s;
    for (double raw = (hi - lo) / intervals;; raw = s.step * 1.0001) {
        s.step = stepFor(raw, unit);
        s.min = floorTo(lo, s.step);
        if (limits.low)
            s.min = std::max(s.min, *limits.low);
        s.max = s.min + intervals * s.step;
        if (limits.high && s.max > *limits.high) {
            s.max = *limits.high;
            s.min = s.max - intervals * s.step;
        }
        const bool withinLimits = !limits.low || s.min >= *limits.low - 1e-9;
        if (!withinLimits) {
            // No round step fits between the limits: the whole range they allow, evenly cut.
            s.min = *limits.low;
            s.max = *limits.high;
            s.step = (s.max - s.min) / intervals;
            break;
        }
        if (s.max >= hi - 1e-9 && s.min <= lo + 1e-9)
            break;
    }
    s.anchor = s.min;
    return s;
}

double trendGridRefinement(const ValueScale& scale, double factor) {
    const double width = (scale.max - scale.min) * factor;
    double step = scale.step;
    // Between three and ten grid lines across.
    while (width / step > 10)
        step *= 2;
    while (width / step < 3 && step > 1e-12)
        step /= 2;
    return scale.step / step;
}

ValueScale trendZoomScale(const ValueScale& scale, double factor, double share, double refine) {
    ValueScale s = scale;
    const double at = scale.min + (scale.max - scale.min) * std::clamp(share, 0.0, 1.0);
    s.min = at - (at - scale.min) * factor;
    s.max = at + (scale.max - at) * factor;
    s.step = scale.step / refine;
    return s;
}

} // namespace pm
