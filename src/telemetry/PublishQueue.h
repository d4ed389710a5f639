#pragma once

#include <QByteArray>
#include <cstddef>
#include <deque>
#include <optional>

namespace pm {

// A day of readings at one a second.
inline constexpr std::size_t kPublishQueueCapacity = 24 * 3600;

// The readings not yet acknowledged by the broker, oldest first. A reading leaves only when the
// broker has acknowledged it, so that a connection lost with readings in flight sends them again
// on the next one, in order. Bounded: once full, each new reading pushes out the oldest, counted.
class PublishQueue {
public:
    explicit PublishQueue(std::size_t capacity = kPublishQueueCapacity) : capacity_(capacity) {}

    void push(QByteArray payload);
    // The oldest reading not handed to the connection yet; nothing when all are in flight.
    std::optional<QByteArray> nextToSend() const;
    // The reading nextToSend() gave is now in flight with this message id.
    void sent(int mid);
    // The broker has it; unknown ids (a reading pushed out meanwhile) are ignored.
    void acknowledged(int mid);
    // The connection is gone: every reading in flight is to be sent again.
    void connectionLost();

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    std::size_t inFlight() const { return sent_; }
    // Readings pushed out since the last call.
    std::size_t takeDropped();

private:
    struct Item {
        QByteArray payload;
        int mid = 0;
        bool acked = false;
    };
    std::deque<Item> items_;
    std::size_t sent_ = 0; // items_[0, sent_) are in flight or acknowledged
    std::size_t capacity_;
    std::size_t dropped_ = 0;
};

} // namespace pm
