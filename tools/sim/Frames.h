#pragma once

#include <QByteArray>
#include <QList>

namespace pm::sim {

// The instrument's request codes: 1 to 10000 ask for the stored record of that index.
inline constexpr int kCodeLink = 11000;
inline constexpr int kCodeCount = 12000;
inline constexpr int kCodeLive = 13000;
inline constexpr int kMaxRecords = 10000;

// Splits the byte stream from the host into 3-byte requests: a 0xAA marker and a 16-bit
// little-endian code. Bytes before a marker are line noise and are skipped; a request cut between
// two reads is completed by the next.
class FrameParser {
public:
    // The codes of every request completed by these bytes, in order.
    QList<int> feed(const QByteArray& bytes);
    // Bytes held while a request is incomplete.
    qsizetype pending() const { return buffer_.size(); }

private:
    QByteArray buffer_;
};

} // namespace pm::sim
