#include "trend/TrendSeries.h"

#include "protocol/Fmtval.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace pm {

namespace {

int decimalsShown(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0)
        return 0;
    int n = 0;
    for (qsizetype k = point + 1; k < text.size() && text[k].isDigit(); ++k)
        ++n;
    return std::min(n, kTrendMaxDecimals);
}

constexpr int kDecimalBits = 3;

} // namespace

TrendReading trendReading(qint64 msecs, const ReadingTexts& texts) {
    TrendReading r;
    r.msecs = msecs;
    for (int f = 0; f < kFieldCount; ++f) {
        const QString text = texts.text(Field(f));
        r.values[size_t(f)] = float(textValue(text));
        r.decimals[size_t(f)] = quint8(decimalsShown(text));
    }
    return r;
}

TrendSeries::TrendSeries(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void TrendSeries::append(qint64 msecs, const ReadingTexts& texts) {
    append(trendReading(msecs, texts));
}

void TrendSeries::append(const TrendReading& reading) {
    store(empty() ? reading.msecs : std::max(reading.msecs, msecsAt(size() - 1)), reading);
}

void TrendSeries::appendAsWritten(const TrendReading& reading) {
    store(reading.msecs, reading);
}

void TrendSeries::sortByTime() {
    // One index a reading and one column at a time, so that memory grows by 12 bytes a reading,
    // not by a second copy of the readings.
    std::vector<std::uint32_t> order(size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = std::uint32_t(slot(i));
    std::stable_sort(order.begin(), order.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return msecs_[a] < msecs_[b]; });
    auto permute = [&order](auto& column) {
        std::remove_reference_t<decltype(column)> sorted;
        sorted.reserve(column.capacity());
        for (std::uint32_t s : order)
            sorted.push_back(column[s]);
        column.swap(sorted);
    };
    permute(msecs_);
    permute(decimals_);
    for (auto& v : values_)
        permute(v);
    head_ = 0;
    for (std::size_t s = 0; s < size(); ++s)
        summarise(s);
}

void TrendSeries::summarise(std::size_t slot) {
    const std::size_t block = slot / kTrendBlock;
    const auto offset = quint8(slot % kTrendBlock);
    if (broken_.size() <= block) {
        broken_.resize(block + 1);
        for (auto& s : summaries_)
            s.resize(block + 1);
    }
    broken_[block] =
        offset != 0 && (broken_[block] || msecs_[slot] - msecs_[slot - 1] > kTrendGapMsecs);
    for (std::size_t f = 0; f < kFieldCount; ++f) {
        const float v = values_[f][slot];
        Summary& s = summaries_[f][block];
        if (offset == 0) {
            s = {v, v, 0, 0, double(v)};
            continue;
        }
        // Strictly beyond: the first reading at an extreme is the one named.
        if (v < s.min) {
            s.min = v;
            s.minOffset = offset;
        }
        if (v > s.max) {
            s.max = v;
            s.maxOffset = offset;
        }
        s.sum += double(v);
    }
}

TrendBlock TrendSeries::blockAt(std::size_t slot, std::size_t index, std::size_t end,
                                Field f) const {
    const std::size_t block = slot / kTrendBlock;
    const Summary& s = summaries_[std::size_t(f)][block];
    TrendBlock b;
    b.first = index;
    b.count = end - slot;
    b.firstMsecs = msecs_[slot];
    b.lastMsecs = msecs_[end - 1];
    b.broken = broken_[block];
    b.min = s.min;
    b.max = s.max;
    b.minMsecs = msecs_[slot + s.minOffset];
    b.maxMsecs = msecs_[slot + s.maxOffset];
    b.minAt = index + s.minOffset;
    b.maxAt = index + s.maxOffset;
    b.sum = s.sum;
    return b;
}

void TrendSeries::store(qint64 msecs, const TrendReading& reading) {
    quint64 decimals = 0;
    for (int f = 0; f < kFieldCount; ++f)
        decimals |= quint64(std::min<int>(reading.decimals[size_t(f)], kTrendMaxDecimals))
                    << (kDecimalBits * f);
    if (size() < capacity_) {
        // Storage for the whole capacity at once: a week never moves in memory, nor doubles.
        if (msecs_.capacity() < capacity_) {
            msecs_.reserve(capacity_);
            decimals_.reserve(capacity_);
            for (auto& v : values_)
                v.reserve(capacity_);
            const std::size_t blocks = (capacity_ + kTrendBlock - 1) / kTrendBlock;
            broken_.reserve(blocks);
            for (auto& s : summaries_)
                s.reserve(blocks);
        }
        msecs_.push_back(msecs);
        decimals_.push_back(decimals);
        for (int f = 0; f < kFieldCount; ++f)
            values_[size_t(f)].push_back(reading.values[size_t(f)]);
        summarise(size() - 1);
        return;
    }
    const std::size_t s = head_;
    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    msecs_[s] = msecs;
    decimals_[s] = decimals;
    for (int f = 0; f < kFieldCount; ++f)
        values_[size_t(f)][s] = reading.values[size_t(f)];
    summarise(s);
}

void TrendSeries::clear() {
    head_ = 0;
    msecs_.clear();
    decimals_.clear();
    for (auto& v : values_)
        v.clear();
    broken_.clear();
    for (auto& s : summaries_)
        s.clear();
}

TrendReading TrendSeries::at(std::size_t i) const {
    const std::size_t s = slot(i);
    TrendReading r;
    r.msecs = msecs_[s];
    for (int f = 0; f < kFieldCount; ++f) {
        r.values[size_t(f)] = values_[size_t(f)][s];
        r.decimals[size_t(f)] = quint8((decimals_[s] >> (kDecimalBits * f)) & 7u);
    }
    return r;
}

std::size_t TrendSeries::lowerBound(qint64 msecs) const {
    std::size_t lo = 0;
    std::size_t hi = size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (msecsAt(mid) < msecs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::array<TrendRun, 2> TrendSeries::runs(std::size_t first, std::size_t last, Field f) const {
    last = std::min(last, size());
    first = std::min(first, last);
    const std::vector<float>& values = values_[size_t(f)];
    auto run = [&](std::size_t from, std::size_t to) {
        return TrendRun{std::span<const qint64>(msecs_).subspan(from, to - from),
                        std::span<const float>(values).subspan(from, to - from)};
    };
    if (first == last)
        return {};
    const std::size_t a = slot(first);
    const std::size_t b = slot(last - 1) + 1;
    if (a < b)
        return {run(a, b), TrendRun{}};
    return {run(a, size()), run(0, b)};
}

} // namespace pm
