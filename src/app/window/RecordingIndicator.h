#pragma once

#include <QDateTime>
#include <QString>

namespace pm {

// What the status bar says of a recording while it runs, whichever tab is shown: the file, how
// long it has run and how many readings it has taken, so that a stopped recording cannot go
// unnoticed.
class RecordingIndicator {
public:
    // The recorder's state now. A recording that was not running before (or runs to another
    // file) starts the clock and the count over.
    void follow(bool recording, const QString& path, const QDateTime& now);
    // A reading was taken into the recording.
    void reading();

    bool running() const { return !path_.isEmpty(); }
    qint64 rows() const { return rows_; }
    // "phase.csv, 1:02:03, 3723 rows"; empty when nothing is recorded.
    QString text(const QDateTime& now) const;
    QString path() const { return path_; }

private:
    QString path_;
    QDateTime started_;
    qint64 rows_ = 0;
};

} // namespace pm
