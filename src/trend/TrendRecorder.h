#pragma once

#include "trend/TrendLog.h"
#include "trend/TrendSeries.h"

#include <QDateTime>
#include <QString>

namespace pm {

class ReadingTexts;

// What the window and the command-line tool do with each live reading: keep it in the series and,
// while recording, write it to the log file. A log that fails stops recording; the readings go on
// into the series, and polling never waits for the log beyond its one write.
class TrendRecorder {
public:
    // The tool keeps no history: it records with a capacity of 1.
    explicit TrendRecorder(std::size_t capacity = kTrendCapacity) : series_(capacity) {}

    const TrendSeries& series() const { return series_; }

    // Starts appending every reading to `path`; see TrendLog::open for what it takes.
    bool startRecording(const QString& path, QString* error);
    void stopRecording();
    bool isRecording() const { return log_.isOpen(); }
    QString recordingPath() const { return log_.path(); }

    // A live reading as the panel shows it, arrived at `time`. False when its row could not be
    // written: recording has stopped and `error` says why; the reading is in the series all the
    // same.
    bool onLiveReading(const QDateTime& time, const ReadingTexts& texts, QString* error);

private:
    TrendSeries series_;
    TrendLog log_;
};

} // namespace pm
