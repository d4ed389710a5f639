#include "sim/Instrument.h"

#include "sim/Frames.h"

namespace pm::sim {

void Instrument::generateRecords(int count) {
    records_.clear();
    for (int k = 1; k <= count; ++k)
        records_ << encodeBlock(model_.record(k));
}

std::optional<QByteArray> Instrument::reply(int code, double seconds) {
    switch (code) {
    case kCodeLink:
        return QByteArray::fromHex("AA55AA");
    case kCodeCount: {
        if (countReply_)
            return *countReply_;
        const qsizetype n = reportedCount_.value_or(records_.size());
        QByteArray count(2, '\0');
        count[0] = char(n & 0xFF);
        count[1] = char((n >> 8) & 0xFF);
        return count;
    }
    case kCodeLive:
        return fixedLive_ ? *fixedLive_ : encodeBlock(model_.live(seconds));
    default:
        if (code >= 1 && code <= records_.size())
            return records_[code - 1];
        return std::nullopt;
    }
}

std::optional<QByteArray> parseHexBlock(QStringView text) {
    QByteArray digits;
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const char16_t u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hex)
            return std::nullopt;
        digits += char(u);
    }
    if (digits.size() != 2 * kBlockSize)
        return std::nullopt;
    return QByteArray::fromHex(digits);
}

} // namespace pm::sim
