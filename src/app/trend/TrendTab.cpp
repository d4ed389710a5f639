#include "app/trend/TrendTab.h"

#include "app/trend/TrendReadout.h"
#include "app/trend/TrendSaving.h"
#include "platform/Alerts.h"
#include "platform/OpenDialog.h"
#include "records/Saving.h"
#include "trend/TrendCsv.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace pm {

namespace {
const QString kCsvFilter = QStringLiteral("csv (*.csv)|*.csv|");
// A row or two waiting is a sync under way; more means the disk is not keeping up.
constexpr std::size_t kRowsBehindShown = 5;
// More shaded gaps than this are not told apart on a plot: the widest are shown.
constexpr std::size_t kMaxShadedGaps = 200;
constexpr qint64 kDayMsecs = 24 * 3600 * 1000;
// About one time label per this many pixels.
constexpr int kPixelsPerTimeLabel = 90;

QString localTime(qint64 msecs) {
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// "19:10:19 to 19:10:56", with the dates when the gap spans midnight.
QString gapLabel(const TrendGap& gap) {
    const QDateTime a = QDateTime::fromMSecsSinceEpoch(gap.from);
    const QDateTime b = QDateTime::fromMSecsSinceEpoch(gap.to);
    const QString format =
        a.date() == b.date() ? QStringLiteral("HH:mm:ss") : QStringLiteral("yyyy-MM-dd HH:mm:ss");
    return QStringLiteral("No readings %1 to %2").arg(a.toString(format), b.toString(format));
}

// The log's message names the file and the reason, and says that recording has stopped.
void recordingError(Alerts& alerts, const QString& why) {
    alerts.warn(QStringLiteral("Recording Error!"), why);
}

// The values the curves on one side span; none when there are none.
std::optional<std::pair<double, double>> valuesOn(const std::vector<TrendCurve>& curves,
                                                  TrendSide side) {
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const TrendCurve& c : curves)
        if (c.side == side)
            for (const TrendSegment& s : c.segments)
                for (const QPointF& p : s) {
                    if (!std::isfinite(p.y()))
                        continue;
                    lo = std::min(lo, p.y());
                    hi = std::max(hi, p.y());
                }
    if (lo > hi)
        return std::nullopt;
    return std::pair{lo, hi};
}
} // namespace

TrendTab::TrendTab(SaveServices& services, OpenDialog& openDialog, Alerts& alerts)
    : services_(services), openDialog_(openDialog), alerts_(alerts) {}

void TrendTab::liveReading(const ReadingTexts& texts) {
    QString why;
    if (!recorder_.onLiveReading(clock(), texts, &why))
        recordingError(alerts_, why);
    notify();
}

bool TrendTab::startRecording(const QString& path) {
    QString why;
    if (!recorder_.stopRecording(&why))
        recordingError(alerts_, why);
    QString notice;
    const bool started = recorder_.startRecording(path, &why, &notice);
    notify();
    if (!started)
        recordingError(alerts_, why);
    else if (!notice.isEmpty())
        alerts_.warn(QStringLiteral("Recording"), notice);
    return started;
}

QString TrendTab::startFolder() const {
    return lastFolder_.isEmpty() ? services_.folder : lastFolder_;
}

QString TrendTab::folderFor(const QString& path) {
    if (!path.isEmpty())
        lastFolder_ = QFileInfo(path).absolutePath();
    return path;
}

void TrendTab::recordClicked() {
    if (recorder_.isRecording()) {
        QString why;
        const bool ok = recorder_.stopRecording(&why);
        notify();
        if (!ok)
            recordingError(alerts_, why);
        return;
    }
    SaveRequest request = saveRequest(services_, kCsvFilter);
    request.replaces = false; // a recording goes on at the end of an existing log
    if (!lastFolder_.isEmpty())
        request.initDir = lastFolder_;
    const QString path = folderFor(chooseSavePath(services_, request));
    if (!path.isEmpty())
        startRecording(path);
}

void TrendTab::openClicked() {
    const SaveChoice choice = openDialog_.showOpen({kCsvFilter, startFolder()});
    if (choice.outcome.result == DialogResult::Cancelled)
        return;
    if (choice.outcome.result == DialogResult::Failed) {
        alerts_.warn(QStringLiteral("Opening Error!"), choice.outcome.description);
        return;
    }
    openFile(folderFor(choice.fileName));
}

bool TrendTab::openFile(const QString& path) {
    TrendCsvLoad load = loadTrendCsv(path);
    if (!load.ok) {
        alerts_.warn(QStringLiteral("Opening Error!"), load.error);
        return false;
    }
    file_ = OpenedFile{path, std::move(load.series), load.lastRowIncomplete};
    pins_.clear();
    viewport_.follow(TrendViewport::Span::All);
    resetValueAxes();
    return true;
}

void TrendTab::liveClicked() {
    file_.reset();
    pins_.clear();
    const auto [first, end] = extent();
    viewport_.setFollowing(true, first, end);
    resetValueAxes();
}

void TrendTab::clockTick() {
    if (!file_ && viewport_.following())
        notify();
}

void TrendTab::saveClicked(const QImage& plot) {
    const auto [first, last] = shownReadings();
    folderFor(saveTrend(plot, shown(), first, last, services_, lastFolder_));
}

void TrendTab::setChecked(Field f, bool on) {
    selection_.setChecked(f, on);
    notify();
}

QStringList TrendTab::quantityNames() const {
    QStringList names;
    for (TrendSide side : {TrendSide::Left, TrendSide::Right})
        for (Field f : selection_.checked())
            if (selection_.sideOf(trendUnit(f)) == side)
                names << trendName(f);
    return names;
}

void TrendTab::setQuantityNames(const QStringList& names) {
    std::vector<Field> fields;
    for (const QString& name : names)
        for (int f = 0; f < kFieldCount; ++f)
            if (trendName(Field(f)) == name)
                fields.push_back(Field(f));
    if (fields.empty())
        return;
    for (Field f : selection_.checked())
        selection_.setChecked(f, false);
    for (Field f : fields)
        selection_.setChecked(f, true);
    notify();
}

void TrendTab::follow(TrendViewport::Span span) {
    viewport_.follow(span);
    notify();
}

void TrendTab::setFollowing(bool on) {
    const auto [first, end] = extent();
    viewport_.setFollowing(on, first, end);
    notify();
}

void TrendTab::zoom(double factor, qint64 at) {
    const auto [first, end] = extent();
    viewport_.zoom(factor, at, first, end);
    notify();
}

void TrendTab::pan(qint64 msecs) {
    const auto [first, end] = extent();
    viewport_.pan(msecs, first, end);
    notify();
}

void TrendTab::fit() {
    viewport_.follow(TrendViewport::Span::All);
    resetValueAxes();
}

void TrendTab::zoomValues(double factor, double share) {
    std::array<ValueScale, 2> zoomed;
    std::optional<double> refine;
    for (std::size_t side = 0; side < axes_.size(); ++side) {
        const AxisState& a = axes_[side];
        if (!a.unit)
            continue;
        // Both axes alike, so that the right one's ticks stay on the left one's grid.
        if (!refine)
            refine = trendGridRefinement(a.scale, factor);
        zoomed[side] = trendZoomScale(a.scale, factor, share, *refine);
    }
    if (!refine)
        return;
    // Zoomed out past what a quantity can be, both move by the same share of their height; when
    // that cannot hold one of them, the step is not taken.
    double shift = 0;
    for (std::size_t side = 0; side < axes_.size(); ++side) {
        if (!axes_[side].unit)
            continue;
        const ValueScale& z = zoomed[side];
        const ValueLimits limits = trendLimits(*axes_[side].unit);
        const double height = z.max - z.min;
        if (limits.low && z.min < *limits.low)
            shift = std::max(shift, (*limits.low - z.min) / height);
        if (limits.high && z.max > *limits.high)
            shift = std::min(shift, (*limits.high - z.max) / height);
    }
    for (std::size_t side = 0; side < axes_.size(); ++side) {
        if (!axes_[side].unit)
            continue;
        ValueScale& z = zoomed[side];
        const double move = shift * (z.max - z.min);
        z.min += move;
        z.max += move;
        const ValueLimits limits = trendLimits(*axes_[side].unit);
        const double slack = 1e-9 * (z.max - z.min);
        if ((limits.low && z.min < *limits.low - slack) ||
            (limits.high && z.max > *limits.high + slack))
            return;
        if (limits.low)
            z.min = std::max(z.min, *limits.low);
        if (limits.high)
            z.max = std::min(z.max, *limits.high);
        // Zoomed out past what a double holds, or in past what it tells apart: no further.
        if (!z.drawable())
            return;
    }
    for (std::size_t side = 0; side < axes_.size(); ++side)
        if (axes_[side].unit) {
            axes_[side].scale = zoomed[side];
            axes_[side].zoomed = true;
        }
    notify();
}

void TrendTab::panValues(double share) {
    for (const AxisState& a : axes_) {
        if (!a.unit)
            continue;
        const ValueLimits limits = trendLimits(*a.unit);
        const double height = a.scale.max - a.scale.min;
        if (share > 0 && limits.high)
            share = std::min(share, (*limits.high - a.scale.max) / height);
        if (share < 0 && limits.low)
            share = std::max(share, (*limits.low - a.scale.min) / height);
    }
    if (share == 0 || !(axes_[0].unit || axes_[1].unit))
        return;
    std::array<ValueScale, 2> moved;
    for (std::size_t side = 0; side < axes_.size(); ++side) {
        moved[side] = axes_[side].scale;
        const double move = share * (moved[side].max - moved[side].min);
        moved[side].min += move;
        moved[side].max += move;
        if (axes_[side].unit && !moved[side].drawable())
            return;
    }
    for (std::size_t side = 0; side < axes_.size(); ++side)
        if (axes_[side].unit) {
            axes_[side].scale = moved[side];
            axes_[side].zoomed = true;
        }
    notify();
}

void TrendTab::resetValueAxes() {
    for (AxisState& a : axes_)
        a = AxisState{};
    notify();
}

void TrendTab::pin(qint64 at, qint64 reach) {
    const auto near =
        std::ranges::min_element(pins_, {}, [at](qint64 t) { return t > at ? t - at : at - t; });
    if (near != pins_.end() && std::llabs(*near - at) <= reach) {
        pins_.erase(near);
        notify();
        return;
    }
    const auto [first, last] = shownReadings();
    const std::optional<std::size_t> reading = nearestReading(shown(), at, first, last);
    if (!reading)
        return;
    if (pins_.size() >= 2)
        pins_.clear();
    pins_.push_back(shown().msecsAt(*reading));
    notify();
}

void TrendTab::clearPins() {
    pins_.clear();
    notify();
}

TrendReadout TrendTab::readout(std::optional<qint64> hover) const {
    TrendReadout r;
    const TrendSeries& s = shown();
    const std::vector<Field> fields = selection_.checked();
    const auto [first, last] = shownReadings();
    // A pinned reading that has gone (dropped as the oldest, or out of the span) has no cursor.
    std::vector<std::size_t> pinned;
    for (qint64 t : pins_) {
        const std::size_t i = s.lowerBound(t);
        if (i >= first && i < last && s.msecsAt(i) == t)
            pinned.push_back(i);
    }
    std::optional<std::size_t> hovered;
    if (hover)
        hovered = nearestReading(s, *hover, first, last);
    if (hovered) {
        r.cursors.push_back(s.msecsAt(*hovered));
        r.lines << trendReadoutLines(s, *hovered, fields);
    }
    for (std::size_t i : pinned) {
        r.cursors.push_back(s.msecsAt(i));
        if (!hovered || i != *hovered) {
            if (!r.lines.isEmpty())
                r.lines << QString();
            r.lines << trendReadoutLines(s, i, fields);
        }
    }
    if (pinned.size() == 2) {
        r.lines << QString();
        r.lines << trendDifferenceLines(s, pinned[0], pinned[1], fields);
    }
    return r;
}

std::vector<TrendSpanStats> TrendTab::spanStats() const {
    std::vector<TrendSpanStats> out;
    const auto [first, last] = shownReadings();
    if (first >= last)
        return out;
    const bool withDate = shownRange().length() > kDayMsecs;
    for (Field f : selection_.checked())
        out.push_back({f, trendStats(shown(), f, first, last),
                       int(shown().at(last - 1).decimals[size_t(f)]), withDate});
    return out;
}

QString TrendTab::titleLine(const QDateTime& made) const {
    QString source;
    if (file_) {
        source = QFileInfo(file_->path).fileName();
    } else {
        const QString port = portName();
        source = port.isEmpty() ? QStringLiteral("Live") : QStringLiteral("Live, %1").arg(port);
    }
    const TrendViewport::Range r = shownRange();
    QStringList names;
    for (Field f : selection_.checked())
        names << trendName(f);
    return QStringLiteral("%1 \u2014 %2 \u2014 %3 \u2014 made %4")
        .arg(source, trendSpanText(r.from, r.to), names.join(QLatin1Char(' ')),
             made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

std::pair<qint64, qint64> TrendTab::extent() const {
    const TrendSeries& s = shown();
    const qint64 now = clock().toMSecsSinceEpoch();
    if (s.empty())
        return {now, now};
    const qint64 first = s.msecsAt(0);
    const qint64 last = s.msecsAt(s.size() - 1);
    // Live, the time runs on to the present even when the meter has gone quiet.
    return {first, file_ ? last : std::max(last, now)};
}

std::pair<std::size_t, std::size_t> TrendTab::shownReadings() const {
    return shownReadingsOf(shown(), shownRange());
}

TrendViewport::Range TrendTab::shownRange() const {
    const auto [first, end] = extent();
    return viewport_.range(first, end);
}

QString TrendTab::heldText() const {
    const TrendSeries& s = shown();
    if (file_) {
        const QString name = QFileInfo(file_->path).fileName();
        // Power lost while the last row was written: the rows before it are all there.
        const QString cut = file_->lastRowIncomplete
                                ? QStringLiteral("; its last row was incomplete and is left out")
                                : QString();
        if (s.empty())
            return QStringLiteral("%1: no readings%2").arg(name, cut);
        return QStringLiteral("%1: %2 readings from %3 to %4%5")
            .arg(name)
            .arg(s.size())
            .arg(localTime(s.msecsAt(0)), localTime(s.msecsAt(s.size() - 1)), cut);
    }
    if (s.empty())
        return QStringLiteral("No readings yet");
    // Once full, the oldest readings make way: the session then reaches back less far.
    return QStringLiteral("Readings since %1%2")
        .arg(localTime(s.msecsAt(0)),
             s.full() ? QStringLiteral(" (older ones dropped)") : QString());
}

QString TrendTab::recordingText() const {
    if (!recorder_.isRecording())
        return {};
    const QString to = QStringLiteral("Recording to %1").arg(recorder_.recordingPath());
    const std::size_t behind = recorder_.rowsBehind();
    if (behind <= kRowsBehindShown)
        return to;
    return to + QStringLiteral("\nRecording is %1 rows behind").arg(behind);
}

TrendPicture TrendTab::picture(int columns) {
    TrendPicture p;
    p.range = shownRange();
    for (Field f : selection_.checked()) {
        const std::optional<TrendSide> side = selection_.sideOf(trendUnit(f));
        p.curves.push_back({f, side.value_or(TrendSide::Left),
                            reduceMinMax(shown(), f, p.range.from, p.range.to, columns)});
    }
    fitAxes(p);
    const auto [first, last] = shownReadings();
    if (last > first)
        p.newest = shown().msecsAt(last - 1);
    p.ticks = trendTimeTicks(p.range.from, p.range.to, std::max(2, columns / kPixelsPerTimeLabel));
    for (const TrendGap& g : trendGaps(shown(), p.range.from, p.range.to, kMaxShadedGaps))
        p.gaps.push_back({g, gapLabel(g)});
    // The meter gone quiet while the plot runs on with the clock.
    const TrendSeries& s = shown();
    if (!file_ && !s.empty()) {
        const TrendGap silence{s.msecsAt(s.size() - 1), clock().toMSecsSinceEpoch()};
        if (silence.to - silence.from > kTrendGapMsecs && silence.to >= p.range.from)
            p.gaps.push_back({silence, gapLabel(silence)});
    }
    return p;
}

void TrendTab::fitAxes(TrendPicture& p) {
    std::array<std::optional<TrendUnit>, 2> units{selection_.unitOn(TrendSide::Left),
                                                  selection_.unitOn(TrendSide::Right)};
    // A unit that changes sides or leaves undoes a zoom of both: their grids are one.
    if (units[0] != axes_[0].unit || units[1] != axes_[1].unit)
        for (AxisState& a : axes_)
            a.zoomed = false;
    int intervals = 5;
    for (std::size_t side = 0; side < axes_.size(); ++side) {
        AxisState& a = axes_[side];
        if (a.unit != units[side]) {
            a = AxisState{};
            a.unit = units[side];
        }
        if (!a.unit)
            continue;
        const auto values = valuesOn(p.curves, TrendSide(side));
        const bool left = side == 0;
        const bool sameGrid = left || !axes_[0].unit || a.scale.intervals() == intervals;
        const double lo = values ? values->first : 0;
        const double hi = values ? values->second : 1;
        const ValueScale fresh = left || !axes_[0].unit
                                     ? trendLeftScale(lo, hi, *a.unit)
                                     : trendRightScale(lo, hi, *a.unit, intervals);
        const bool holds =
            a.fitted && sameGrid && (!values || a.scale.contains(values->first, values->second));
        // A scale more than twice as tall as the readings need was left by a spike or a dip
        // that has gone: it shrinks back, and the half between keeps it from jumping to and fro.
        const bool roomy = values && (fresh.max - fresh.min) * 2 < a.scale.max - a.scale.min;
        if (!a.zoomed && (!holds || roomy)) {
            a.scale = fresh;
            a.fitted = values.has_value();
        }
        if (left)
            intervals = a.scale.intervals();
        p.axes[side] = {a.unit, a.scale};
    }
}

void TrendTab::notify() {
    if (changed)
        changed();
}

} // namespace pm
