#pragma once

#include "trend/TrendLog.h"
#include "trend/TrendSeries.h"

#include <QDateTime>
#include <QString>

namespace pm {

class ReadingTexts;

// What the window and the command-line tool do with each live reading: keep it in the series and,
// while recording, queue it for the log's writer thread. A log that fails or stalls stops
// recording; the readings go on into the series, and polling never waits for the disk.
class TrendRecorder {
public:
    // The tool keeps no history: it records with a capacity of 1.
    explicit TrendRecorder(std::size_t capacity = kTrendCapacity) : series_(capacity) {}

    const TrendSeries& series() const { return series_; }
    // What the log writes through and the clock it tells a stall by; for tests and benchmarks.
    TrendLog& log() { return log_; }

    // Starts appending every reading to `path`; see TrendLog::open for what it takes and for
    // `notice`.
    bool startRecording(const QString& path, QString* error, QString* notice = nullptr);
    // Waits until every reading accepted is on the disk; false with the message when one could
    // not be written.
    bool stopRecording(QString* error = nullptr);
    bool isRecording() const { return log_.isOpen(); }
    QString recordingPath() const { return log_.path(); }
    // Readings accepted and not yet on the disk.
    std::size_t rowsBehind() const { return log_.behind(); }

    // A live reading as the panel shows it, arrived at `time`. False when recording has stopped
    // (a row could not be written, or the disk stalled) and `error` says why; the reading is in
    // the series all the same.
    bool onLiveReading(const QDateTime& time, const ReadingTexts& texts, QString* error);

private:
    TrendSeries series_;
    TrendLog log_;
};

} // namespace pm
