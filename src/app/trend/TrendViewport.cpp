#include "app/trend/TrendViewport.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace pm {

namespace {
constexpr qint64 kMinute = 60'000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

qint64 spanLength(TrendViewport::Span span) {
    switch (span) {
    case TrendViewport::Span::LastMinute:
        return kMinute;
    case TrendViewport::Span::Last10Minutes:
        return 10 * kMinute;
    case TrendViewport::Span::LastHour:
        return kHour;
    case TrendViewport::Span::LastDay:
        return kDay;
    case TrendViewport::Span::All:
        break;
    }
    return 0;
}
} // namespace

void TrendViewport::follow(Span span) {
    span_ = span;
    following_ = true;
}

TrendViewport::Range TrendViewport::range(qint64 first, qint64 last) const {
    if (!following_)
        return fixed_;
    if (span_ != Span::All)
        return {last - spanLength(span_), last};
    // Everything, but never narrower than a zoom may go: one reading still shows as a point.
    const qint64 widen = std::max<qint64>(0, kMinLength - (last - first));
    return {first - widen / 2, last + (widen - widen / 2)};
}

void TrendViewport::zoom(double factor, qint64 at, qint64 first, qint64 last) {
    const Range now = range(first, last);
    const double length = std::max(double(kMinLength), double(now.length()) * factor);
    const double share = now.length() > 0 ? double(at - now.from) / double(now.length()) : 0.5;
    const qint64 from = at - qint64(std::llround(length * std::clamp(share, 0.0, 1.0)));
    fixed_ = {from, from + qint64(std::llround(length))};
    following_ = false;
}

void TrendViewport::pan(qint64 msecs, qint64 first, qint64 last) {
    const Range now = range(first, last);
    fixed_ = {now.from + msecs, now.to + msecs};
    following_ = false;
}

QString trendTimeFormat(qint64 lengthMsecs) {
    if (lengthMsecs <= 30 * kMinute)
        return QStringLiteral("HH:mm:ss");
    if (lengthMsecs <= 2 * kDay)
        return QStringLiteral("HH:mm");
    if (lengthMsecs <= 14 * kDay)
        return QStringLiteral("MM-dd HH:mm");
    return QStringLiteral("yyyy-MM-dd");
}

QString trendTimeTitle(qint64 from, qint64 to) {
    const QString format = QStringLiteral("yyyy-MM-dd");
    const QDate first = QDateTime::fromMSecsSinceEpoch(from).date();
    const QDate last = QDateTime::fromMSecsSinceEpoch(to).date();
    if (first == last)
        return first.toString(format);
    return first.toString(format) + QStringLiteral(" \u2013 ") + last.toString(format);
}

} // namespace pm
