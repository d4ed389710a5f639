#pragma once

#include "sim/ReadingModel.h"

#include <QByteArray>
#include <QList>
#include <optional>

namespace pm::sim {

// What the meter answers to each request: the handshake, the number of stored records, the live
// block, a stored record. Requests it does not know get no answer, as on the real meter.
class Instrument {
public:
    explicit Instrument(quint32 seed) : model_(seed) {}

    // A live block that never changes, instead of the drifting model.
    void setFixedLive(const QByteArray& block) { fixedLive_ = block; }
    // Replaces the stored records with `count` records drawn from the model.
    void generateRecords(int count);
    void setRecords(const QList<QByteArray>& blocks) { records_ = blocks; }
    const QList<QByteArray>& records() const { return records_; }
    // A meter whose count is wrong: it reports `count` records, whatever it holds.
    void setReportedCount(int count) { reportedCount_ = count; }
    // A meter whose count reply is garbled or cut short: these bytes, every time.
    void setCountReply(const QByteArray& bytes) { countReply_ = bytes; }

    // The reply to request `code`, `seconds` after the meter was switched on.
    std::optional<QByteArray> reply(int code, double seconds);

private:
    ReadingModel model_;
    std::optional<QByteArray> fixedLive_;
    QList<QByteArray> records_;
    std::optional<int> reportedCount_;
    std::optional<QByteArray> countReply_;
};

// A block written as hex ("F0 55 00 ..."; blanks anywhere); none unless it is exactly 22 bytes.
std::optional<QByteArray> parseHexBlock(QStringView text);

} // namespace pm::sim
