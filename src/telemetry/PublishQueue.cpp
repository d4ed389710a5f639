#include "telemetry/PublishQueue.h"

#include <utility>

namespace pm {

void PublishQueue::push(QByteArray payload) {
    if (capacity_ == 0) {
        ++dropped_;
        return;
    }
    if (items_.size() == capacity_) {
        items_.pop_front();
        if (sent_ > 0)
            --sent_;
        ++dropped_;
    }
    items_.push_back({std::move(payload), 0, false});
}

std::optional<QByteArray> PublishQueue::nextToSend() const {
    if (sent_ >= items_.size())
        return std::nullopt;
    return items_[sent_].payload;
}

void PublishQueue::sent(int mid) {
    if (sent_ < items_.size())
        items_[sent_++].mid = mid;
}

void PublishQueue::acknowledged(int mid) {
    for (std::size_t k = 0; k < sent_; ++k)
        if (items_[k].mid == mid && !items_[k].acked) {
            items_[k].acked = true;
            break;
        }
    while (sent_ > 0 && items_.front().acked) {
        items_.pop_front();
        --sent_;
    }
}

void PublishQueue::connectionLost() {
    // Acknowledged readings behind one still in flight are kept and sent again: the broker may
    // deliver such a reading twice, but never out of order and never not at all.
    sent_ = 0;
    for (Item& item : items_)
        item.acked = false;
}

std::size_t PublishQueue::takeDropped() {
    return std::exchange(dropped_, 0);
}

} // namespace pm
