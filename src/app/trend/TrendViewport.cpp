#include "app/trend/TrendViewport.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace pm {

namespace {
constexpr qint64 kMinute = 60'000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
// The newest reading stays this share of the span inside the right edge.
constexpr qint64 kMarginShare = 50;

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
    length_ = spanLength(span);
    following_ = true;
}

void TrendViewport::setFollowing(bool on, qint64 first, qint64 end) {
    if (on == following_)
        return;
    if (on) {
        length_ = fixed_.length();
        following_ = true;
        return;
    }
    fixed_ = range(first, end);
    following_ = false;
}

TrendViewport::Range TrendViewport::followed(qint64 length, qint64 first, qint64 end) {
    if (length <= 0) // everything, but never narrower than a zoom may go
        length = std::max(kMinLength, end - first);
    const qint64 to = end + length / kMarginShare;
    return {to - length, to};
}

TrendViewport::Range TrendViewport::range(qint64 first, qint64 end) const {
    if (!following_)
        return fixed_;
    if (span_ == Span::All) {
        // Everything from the first reading; a single reading still shows as a point.
        const qint64 length = std::max(kMinLength, end - first);
        const qint64 to = end + length / kMarginShare;
        return {std::min(first, to - kMinLength), to};
    }
    return followed(length_, first, end);
}

void TrendViewport::zoom(double factor, qint64 at, qint64 first, qint64 end) {
    const Range now = range(first, end);
    const double length = std::max(double(kMinLength), double(now.length()) * factor);
    const double share = now.length() > 0 ? double(at - now.from) / double(now.length()) : 0.5;
    const qint64 from = at - qint64(std::llround(length * std::clamp(share, 0.0, 1.0)));
    fixed_ = {from, from + qint64(std::llround(length))};
    following_ = false;
    span_.reset();
}

void TrendViewport::pan(qint64 msecs, qint64 first, qint64 end) {
    const Range now = range(first, end);
    const qint64 last = end + now.length() / kMarginShare;
    // Never past the ends; a span already beyond one is not pulled back by a drag the other way.
    const qint64 lowest = std::min(first, now.from);
    const qint64 highest = std::max(last - now.length(), now.from);
    const qint64 from = std::clamp(now.from + msecs, lowest, std::max(lowest, highest));
    fixed_ = {from, from + now.length()};
    following_ = false;
    span_.reset();
}

QString trendTimeTitle(qint64 from, qint64 to) {
    const QString format = QStringLiteral("yyyy-MM-dd");
    const QDate first = QDateTime::fromMSecsSinceEpoch(from).date();
    const QDate last = QDateTime::fromMSecsSinceEpoch(to).date();
    if (first == last)
        return first.toString(format);
    return first.toString(format) + QStringLiteral(" \u2013 ") + last.toString(format);
}

QString trendSpanText(qint64 from, qint64 to) {
    const QDateTime a = QDateTime::fromMSecsSinceEpoch(from);
    const QDateTime b = QDateTime::fromMSecsSinceEpoch(to);
    const QString last = b.date() == a.date() ? b.toString(QStringLiteral("HH:mm:ss"))
                                              : b.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QStringLiteral("%1 to %2").arg(a.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), last);
}

} // namespace pm
