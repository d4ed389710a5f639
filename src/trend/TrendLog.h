#pragma once

#include "platform/AppendFile.h"

#include <QDateTime>
#include <QString>

namespace pm {

class ReadingTexts;

// A CSV log that every reading is appended to and written through to the operating system before
// append() returns (no buffering across readings), so a killed process or a lost machine keeps
// every row written before.
class TrendLog {
public:
    TrendLog() = default;
    ~TrendLog() = default;
    TrendLog(const TrendLog&) = delete;
    TrendLog& operator=(const TrendLog&) = delete;

    // Opens the file for appending, creating it. An empty file gets the header; a file that starts
    // with the header gets none; a non-empty file with another first line is refused and left as it
    // was. False with a message naming the file and the reason.
    bool open(const QString& path, QString* error);
    // One row. On failure (disk full, folder gone, file-size limit) the log closes itself and the
    // message names the file and the reason; every row written before stays.
    bool append(const QDateTime& time, const ReadingTexts& texts, QString* error);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    QString path() const { return path_; }

private:
    bool write(const QByteArray& bytes, QString* error);

    AppendFile file_;
    QString path_;
    bool needsNewline_ = false; // the file ended inside a line
};

} // namespace pm
