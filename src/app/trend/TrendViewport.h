#pragma once

#include <QString>
#include <QtGlobal>

namespace pm {

// The time span the plot shows. The user either follows the latest reading (the last minute, ten
// minutes, hour or day, or everything held), or has zoomed and panned to a span of their own,
// which then stays put while readings come in.
class TrendViewport {
public:
    enum class Span { LastMinute, Last10Minutes, LastHour, LastDay, All };
    struct Range {
        qint64 from = 0; // ms since the epoch
        qint64 to = 0;
        qint64 length() const { return to - from; }
    };
    // A zoom stops at ten seconds across.
    static constexpr qint64 kMinLength = 10'000;

    // Follows the latest reading over `span`.
    void follow(Span span);
    bool following() const { return following_; }
    Span span() const { return span_; }

    // What is shown when the readings run from `first` to `last` (ms since the epoch); with no
    // readings, `last` is the present and `first` equals it.
    Range range(qint64 first, qint64 last) const;

    // The mouse wheel: factor < 1 zooms in, keeping the time under the mouse in its place.
    void zoom(double factor, qint64 at, qint64 first, qint64 last);
    // Dragging: the span shown moves by `msecs` (positive shows later readings).
    void pan(qint64 msecs, qint64 first, qint64 last);

private:
    Span span_ = Span::LastMinute;
    bool following_ = true;
    Range fixed_;
};

// The format of the time labels for a span of that length, in local time: seconds while a few
// minutes are shown, the day once several days are.
QString trendTimeFormat(qint64 lengthMsecs);
// The axis title: the day (or the first and last day) of the span, in local time.
QString trendTimeTitle(qint64 from, qint64 to);

} // namespace pm
