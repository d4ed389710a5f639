#pragma once

#include "platform/RowStore.h"
#include "trend/TrendLog.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

// A disk that takes as long as the test says: each row handed to the file waits at the gate
// until the test opens it, or lets a number of rows through. Counts the rows handed over.
struct StoreGate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;
    int passes = 0; // rows let through while closed
    int appends = 0;

    void close() {
        std::lock_guard lock(mutex);
        open = false;
    }
    void release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        opened.notify_all();
    }
    void let(int rows) {
        {
            std::lock_guard lock(mutex);
            passes += rows;
        }
        opened.notify_all();
    }
    int count() {
        std::lock_guard lock(mutex);
        return appends;
    }
};

class GatedStore : public pm::RowStore {
public:
    GatedStore(std::unique_ptr<pm::RowStore> file, std::shared_ptr<StoreGate> gate)
        : file_(std::move(file)), gate_(std::move(gate)) {}
    bool append(const QByteArray& bytes, QString* why) override {
        {
            std::unique_lock lock(gate_->mutex);
            ++gate_->appends;
            gate_->opened.wait(lock, [this] { return gate_->open || gate_->passes > 0; });
            if (!gate_->open)
                --gate_->passes;
        }
        return file_->append(bytes, why);
    }

private:
    std::unique_ptr<pm::RowStore> file_;
    std::shared_ptr<StoreGate> gate_;
};

inline pm::TrendLog::StoreWrapper gatedBy(std::shared_ptr<StoreGate> gate) {
    return [gate](std::unique_ptr<pm::RowStore> file) -> std::unique_ptr<pm::RowStore> {
        return std::make_unique<GatedStore>(std::move(file), gate);
    };
}

// A clock the test moves by hand, read from the log's writer thread too.
struct HandClock {
    std::shared_ptr<std::atomic<qint64>> msecs = std::make_shared<std::atomic<qint64>>(0);
    void advance(qint64 by) { *msecs += by; }
    pm::LogWriter::Clock clock() const {
        return [m = msecs] { return m->load(); };
    }
};
