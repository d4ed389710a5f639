#pragma once

#include "trend/LogWriter.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace pm {

class ReadingTexts;

// A CSV log that every reading is appended to, each row synced to the disk by the log's writer
// thread, so a killed process or a lost machine keeps every row written. While open, the file is
// locked against a second program recording into it.
class TrendLog {
public:
    // Puts something between the writer and the file (a test's store that counts or holds up
    // the writes); by default the rows go straight to the file.
    using StoreWrapper = std::function<std::unique_ptr<RowStore>(std::unique_ptr<RowStore>)>;
    // The disk has taken no row for this long: recording stops.
    static constexpr qint64 kStallMsecs = 30000;

    TrendLog() = default;
    ~TrendLog();
    TrendLog(const TrendLog&) = delete;
    TrendLog& operator=(const TrendLog&) = delete;

    void setStoreWrapper(StoreWrapper wrap) { wrap_ = std::move(wrap); }
    void setClock(LogWriter::Clock clock) { clock_ = std::move(clock); }

    // Opens the file for appending, creating it. An empty file gets the header; a file that
    // starts with the header gets none, and a last row cut short (power lost while it was
    // written) is cut off, which `notice` then says; a non-empty file with another first line is
    // refused and left as it was, and so is a file another program is recording into. False
    // with a message naming the file and the reason.
    bool open(const QString& path, QString* error, QString* notice = nullptr);
    // Queues one row for the writer. False when recording has stopped: an earlier row could not
    // be written, or the disk has not taken a row for kStallMsecs; the message says which, and
    // the log is closed.
    bool append(const QDateTime& time, const ReadingTexts& texts, QString* error);
    // Waits until every row queued is on the disk. A file this open() made that got no row is
    // removed again. False with the message when a row could not be written.
    bool close(QString* error = nullptr);
    bool isOpen() const { return writer_ != nullptr; }
    QString path() const { return path_; }
    // Rows queued and not yet on the disk.
    std::size_t behind() const;

private:
    QString failureMessage(const QString& why) const;
    bool stop(QString* error, const QString& message);

    StoreWrapper wrap_;
    LogWriter::Clock clock_;
    std::unique_ptr<LogWriter> writer_;
    QString path_;
    bool created_ = false;
    std::size_t accepted_ = 0;
};

} // namespace pm
