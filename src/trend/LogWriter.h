#pragma once

#include "platform/RowStore.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace pm {

// The one thread that writes a log's rows, so that a disk that takes seconds to sync (a slow USB
// stick, a hung network share) never holds up the meter's thread. Rows wait in a bounded queue
// and go to the disk in groups, all those waiting in one write and one sync; the first failed
// write ends the writing, and the rows behind it are not written.
class LogWriter {
public:
    // Milliseconds of a clock that never goes back; asked from both threads.
    using Clock = std::function<qint64()>;
    static constexpr std::size_t kQueueBound = 120;

    LogWriter(std::unique_ptr<RowStore> store, Clock clock);
    // Waits until every row queued is written (or a write has failed).
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    enum class Queued { Yes, Full, Failed };
    Queued push(QByteArray row);
    // Rows queued and not yet on the disk.
    std::size_t behind() const;
    // How long the disk has owed a row: since the oldest row waiting was queued or since the
    // last row was written, whichever is later; 0 when nothing waits.
    qint64 owedMsecs() const;
    std::size_t written() const;
    // The system's reason for the failed write; empty while every write succeeded.
    QString failure() const;
    // Waits for every row queued; false when a write failed.
    bool finish();
    // Gives up on the rows still queued (they are not written) without waiting for the write
    // under way: the thread ends on its own once the disk returns. Gives how many were dropped.
    std::size_t abandon();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace pm
