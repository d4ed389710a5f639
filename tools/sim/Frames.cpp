#include "sim/Frames.h"

namespace pm::sim {

QList<int> FrameParser::feed(const QByteArray& bytes) {
    buffer_ += bytes;
    QList<int> codes;
    qsizetype pos = 0;
    while (pos < buffer_.size()) {
        if (quint8(buffer_[pos]) != 0xAA) {
            ++pos;
            continue;
        }
        if (buffer_.size() - pos < 3)
            break;
        codes << (quint8(buffer_[pos + 1]) | quint8(buffer_[pos + 2]) << 8);
        pos += 3;
    }
    buffer_.remove(0, pos);
    return codes;
}

} // namespace pm::sim
