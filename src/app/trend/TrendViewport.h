#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace pm {

// The time span the plot shows. Either it follows the latest reading (over the last minute, ten
// minutes, hour or day, everything held, or the length the user zoomed to), the newest reading a
// little inside the right edge; or it stays where the user zoomed or dragged it while readings
// come in. Dragging stops at the ends of the readings.
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

    // Follows the latest reading over `span` (the span list).
    void follow(Span span);
    // "Follow latest": on, the span shown keeps its length and moves to the latest reading.
    void setFollowing(bool on, qint64 first, qint64 end);
    bool following() const { return following_; }
    // The span picked in the list; none once zoomed or dragged.
    std::optional<Span> span() const { return span_; }

    // What is shown when the readings run from `first` to `end` (ms since the epoch; while live,
    // `end` is the present, so the time moves on with no readings). Following, `end` stays a
    // fiftieth of the span inside the right edge.
    Range range(qint64 first, qint64 end) const;

    // The mouse wheel: factor < 1 zooms in, keeping the time under the mouse in its place.
    void zoom(double factor, qint64 at, qint64 first, qint64 end);
    // Dragging: the span shown moves by `msecs` (positive shows later readings), but not past the
    // first reading nor the end.
    void pan(qint64 msecs, qint64 first, qint64 end);

private:
    static Range followed(qint64 length, qint64 first, qint64 end);

    std::optional<Span> span_ = Span::LastMinute;
    qint64 length_ = 60'000; // while following a length of the user's own
    bool following_ = true;
    Range fixed_;
};

// The axis title: the day (or the first and last day) of the span, in local time.
QString trendTimeTitle(qint64 from, qint64 to);
// "2026-07-12 19:10:19 to 19:10:56", the second date only when it differs from the first.
QString trendSpanText(qint64 from, qint64 to);

} // namespace pm
