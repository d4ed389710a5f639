#include "app/trend/TrendTab.h"

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

QString localTime(qint64 msecs) {
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The log's message names the file and the reason, and says that recording has stopped.
void recordingError(Alerts& alerts, const QString& why) {
    alerts.warn(QStringLiteral("Recording Error!"), why);
}

// The values an axis spans: those of its curves, with a little room above and below so that a
// line at the edge stays visible; a flat line gets room of its own.
void fitAxis(TrendAxis& axis, const std::vector<TrendCurve>& curves, TrendSide side) {
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const TrendCurve& c : curves)
        if (c.side == side)
            for (const TrendSegment& s : c.segments)
                for (const QPointF& p : s) {
                    lo = std::min(lo, p.y());
                    hi = std::max(hi, p.y());
                }
    if (lo > hi)
        return; // nothing to show: the axis keeps 0 to 1
    const double room = hi > lo ? (hi - lo) * 0.05 : std::max(std::abs(hi), 1.0) * 0.01;
    axis.min = lo - room;
    axis.max = hi + room;
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

void TrendTab::recordClicked() {
    if (recorder_.isRecording()) {
        QString why;
        const bool ok = recorder_.stopRecording(&why);
        notify();
        if (!ok)
            recordingError(alerts_, why);
        return;
    }
    const QString path = chooseSavePath(services_, saveRequest(services_, kCsvFilter));
    if (!path.isEmpty())
        startRecording(path);
}

void TrendTab::openClicked() {
    const SaveChoice choice = openDialog_.showOpen({kCsvFilter, services_.folder});
    if (choice.outcome.result == DialogResult::Cancelled)
        return;
    if (choice.outcome.result == DialogResult::Failed) {
        alerts_.warn(QStringLiteral("Opening Error!"), choice.outcome.description);
        return;
    }
    TrendCsvLoad load = loadTrendCsv(choice.fileName);
    if (!load.ok) {
        alerts_.warn(QStringLiteral("Opening Error!"), load.error);
        return;
    }
    file_ = OpenedFile{choice.fileName, std::move(load.series), load.lastRowIncomplete};
    viewport_.follow(TrendViewport::Span::All);
    notify();
}

void TrendTab::liveClicked() {
    file_.reset();
    notify();
}

void TrendTab::saveClicked(const QImage& plot) {
    const auto [first, last] = shownReadingsOf(shown(), shownRange());
    saveTrend(plot, shown(), first, last, services_);
}

void TrendTab::setChecked(Field f, bool on) {
    selection_.setChecked(f, on);
    notify();
}

void TrendTab::follow(TrendViewport::Span span) {
    viewport_.follow(span);
    notify();
}

void TrendTab::zoom(double factor, qint64 at) {
    const auto [first, last] = extent();
    viewport_.zoom(factor, at, first, last);
    notify();
}

void TrendTab::pan(qint64 msecs) {
    const auto [first, last] = extent();
    viewport_.pan(msecs, first, last);
    notify();
}

std::pair<qint64, qint64> TrendTab::extent() const {
    const TrendSeries& s = shown();
    if (s.empty()) {
        const qint64 now = clock().toMSecsSinceEpoch();
        return {now, now};
    }
    return {s.msecsAt(0), s.msecsAt(s.size() - 1)};
}

TrendViewport::Range TrendTab::shownRange() const {
    const auto [first, last] = extent();
    return viewport_.range(first, last);
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

TrendPicture TrendTab::picture(int columns) const {
    TrendPicture p;
    p.range = shownRange();
    for (Field f : selection_.checked()) {
        const std::optional<TrendSide> side = selection_.sideOf(trendUnit(f));
        p.curves.push_back({f, side.value_or(TrendSide::Left),
                            reduceMinMax(shown(), f, p.range.from, p.range.to, columns)});
    }
    for (TrendSide side : {TrendSide::Left, TrendSide::Right}) {
        TrendAxis& axis = p.axes[size_t(side)];
        axis.unit = selection_.unitOn(side);
        fitAxis(axis, p.curves, side);
    }
    return p;
}

void TrendTab::notify() {
    if (changed)
        changed();
}

} // namespace pm
