#include "trend/LogWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace pm {

// Shared with the thread, which may outlive the writer once abandoned.
struct LogWriter::State {
    std::unique_ptr<RowStore> store;
    Clock clock;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<QByteArray> queue;
    std::size_t writing = 0; // rows in the write under way
    bool stopping = false;
    qint64 owedSince = 0;
    std::size_t written = 0;
    QString failure;
    std::thread thread;

    // How many of `rows` are on the disk. A group that does not fit (a full disk, a file size
    // limit) goes again a row at a time, so that every row that fits is kept.
    std::size_t write(const std::deque<QByteArray>& rows, QString* why) {
        QByteArray group;
        for (const QByteArray& row : rows)
            group += row;
        if (store->append(group, why))
            return rows.size();
        if (rows.size() == 1)
            return 0;
        std::size_t done = 0;
        while (done < rows.size() && store->append(rows[done], why))
            ++done;
        return done;
    }

    // Every row waiting goes in one write and one sync: a disk that takes seconds a sync then
    // falls behind by the rows of one sync at most, not by one row more each time.
    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty())
                return;
            std::deque<QByteArray> rows;
            rows.swap(queue);
            writing = rows.size();
            lock.unlock();
            QString why;
            const std::size_t done = write(rows, &why);
            lock.lock();
            writing = 0;
            written += done;
            if (done < rows.size()) {
                failure = why;
                queue.clear();
                return;
            }
            owedSince = clock();
        }
    }
};

LogWriter::LogWriter(std::unique_ptr<RowStore> store, Clock clock)
    : state_(std::make_shared<State>()) {
    state_->store = std::move(store);
    state_->clock = std::move(clock);
    state_->thread = std::thread([s = state_] { s->run(); });
}

LogWriter::~LogWriter() {
    finish();
}

LogWriter::Queued LogWriter::push(QByteArray row) {
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        if (!s.failure.isEmpty() || s.stopping)
            return Queued::Failed;
        if (s.queue.size() >= kQueueBound)
            return Queued::Full;
        if (s.queue.empty() && s.writing == 0)
            s.owedSince = s.clock();
        s.queue.push_back(std::move(row));
    }
    s.wake.notify_one();
    return Queued::Yes;
}

std::size_t LogWriter::behind() const {
    std::lock_guard lock(state_->mutex);
    return state_->queue.size() + state_->writing;
}

qint64 LogWriter::owedMsecs() const {
    std::lock_guard lock(state_->mutex);
    if (state_->queue.empty() && state_->writing == 0)
        return 0;
    return state_->clock() - state_->owedSince;
}

std::size_t LogWriter::written() const {
    std::lock_guard lock(state_->mutex);
    return state_->written;
}

QString LogWriter::failure() const {
    std::lock_guard lock(state_->mutex);
    return state_->failure;
}

bool LogWriter::finish() {
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.wake.notify_one();
    if (s.thread.joinable())
        s.thread.join();
    return failure().isEmpty();
}

std::size_t LogWriter::abandon() {
    State& s = *state_;
    std::size_t dropped = 0;
    {
        std::lock_guard lock(s.mutex);
        dropped = s.queue.size() + s.writing;
        s.queue.clear();
        s.stopping = true;
    }
    s.wake.notify_one();
    if (s.thread.joinable())
        s.thread.detach();
    return dropped;
}

} // namespace pm
