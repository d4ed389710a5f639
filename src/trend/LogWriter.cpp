#include "trend/LogWriter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace pm {

// Shared with the thread, which may outlive the writer once abandoned.
struct LogWriter::State {
    std::unique_ptr<RowStore> store;
    Clock clock;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<QByteArray> queue;
    bool writing = false;
    bool stopping = false;
    qint64 owedSince = 0;
    std::size_t written = 0;
    QString failure;
    std::thread thread;

    void run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty())
                return;
            const QByteArray row = std::move(queue.front());
            queue.pop_front();
            writing = true;
            lock.unlock();
            QString why;
            const bool ok = store->append(row, &why);
            lock.lock();
            writing = false;
            if (!ok) {
                failure = why;
                queue.clear();
                return;
            }
            ++written;
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
        if (s.queue.empty() && !s.writing)
            s.owedSince = s.clock();
        s.queue.push_back(std::move(row));
    }
    s.wake.notify_one();
    return Queued::Yes;
}

std::size_t LogWriter::behind() const {
    std::lock_guard lock(state_->mutex);
    return state_->queue.size() + (state_->writing ? 1 : 0);
}

qint64 LogWriter::owedMsecs() const {
    std::lock_guard lock(state_->mutex);
    if (state_->queue.empty() && !state_->writing)
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
        dropped = s.queue.size() + (s.writing ? 1 : 0);
        s.queue.clear();
        s.stopping = true;
    }
    s.wake.notify_one();
    if (s.thread.joinable())
        s.thread.detach();
    return dropped;
}

} // namespace pm
