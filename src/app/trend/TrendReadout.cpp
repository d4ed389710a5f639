#include "app/trend/TrendReadout.h"

#include "app/trend/TrendSelection.h"
#include "trend/TrendSeries.h"
#include "trend/TrendSpan.h"

#include <QDateTime>
#include <cmath>

namespace pm {

namespace {
QString clockText(qint64 msecs, bool withDate) {
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(
        withDate ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("HH:mm:ss"));
}
} // namespace

std::optional<std::size_t> nearestReading(const TrendSeries& series, qint64 at, std::size_t first,
                                          std::size_t last) {
    last = std::min(last, series.size());
    if (first >= last)
        return std::nullopt;
    const std::size_t after = std::clamp(series.lowerBound(at), first, last - 1);
    if (after == first)
        return after;
    const std::size_t before = after - 1;
    // On a tie the earlier reading: the one the time under the mouse has already seen.
    return at - series.msecsAt(before) <= series.msecsAt(after) - at ? before : after;
}

QStringList trendReadoutLines(const TrendSeries& series, std::size_t index,
                              const std::vector<Field>& fields) {
    const TrendReading r = series.at(index);
    QStringList lines{
        QDateTime::fromMSecsSinceEpoch(r.msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))};
    for (Field f : fields)
        lines << trendName(f) + QStringLiteral("  ") +
                     trendValueText(f, r.value(f), r.decimals[size_t(f)]);
    return lines;
}

QStringList trendDifferenceLines(const TrendSeries& series, std::size_t from, std::size_t to,
                                 const std::vector<Field>& fields) {
    const TrendReading a = series.at(from);
    const TrendReading b = series.at(to);
    QStringList lines{QStringLiteral("\u0394t ") + trendDurationText(b.msecs - a.msecs)};
    for (Field f : fields) {
        const int decimals = std::max(a.decimals[size_t(f)], b.decimals[size_t(f)]);
        // The difference of the numbers shown, rounded as they were: no digits they did not have.
        const double scale = std::pow(10.0, decimals);
        const double change = std::round((b.value(f) - a.value(f)) * scale) / scale;
        const QString text = trendValueText(f, change, decimals);
        lines << QStringLiteral("\u0394") + trendName(f) + QStringLiteral("  ") +
                     (change > 0 ? QStringLiteral("+") : QString()) + text;
    }
    return lines;
}

QString trendDurationText(qint64 msecs) {
    const bool negative = msecs < 0;
    qint64 s = std::llabs(msecs) / 1000;
    const qint64 days = s / 86400;
    s %= 86400;
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(s / 3600, 2, 10, QLatin1Char('0'))
                       .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(s % 60, 2, 10, QLatin1Char('0'));
    if (days > 0)
        text = QStringLiteral("%1 d ").arg(days) + text;
    return negative ? QStringLiteral("-") + text : text;
}

QStringList trendStatsCells(Field f, const TrendStats& stats, int decimals, bool withDate) {
    return {trendName(f),
            trendValueText(f, stats.min, decimals),
            clockText(stats.minMsecs, withDate),
            trendValueText(f, stats.max, decimals),
            clockText(stats.maxMsecs, withDate),
            trendValueText(f, stats.mean, decimals + 1)};
}

} // namespace pm
