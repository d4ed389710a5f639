#include "sim/Block.h"

#include <algorithm>
#include <cmath>

namespace pm::sim {

namespace {

constexpr long kMaxRaw = 32767;

struct Range {
    int code;
    double scale; // raw units per physical unit
};

// Finest range first: the meter switches up only when a value no longer fits.
constexpr std::array<Range, 3> kVoltageRanges{{{1, 100}, {2, 10}, {3, 1}}};
constexpr std::array<Range, 3> kCurrentRanges{{{2, 10000}, {3, 1000}, {4, 100}}};

void put16(QByteArray& block, int offset, long raw) {
    raw = std::clamp(raw, 0L, kMaxRaw);
    block[offset] = char(raw & 0xFF);
    block[offset + 1] = char(raw >> 8);
}

void putRanged(QByteArray& block, int valueOffset, int codeOffset, double value,
               const std::array<Range, 3>& ranges) {
    value = std::max(value, 0.0);
    Range chosen = ranges.back();
    for (const Range& r : ranges) {
        if (std::lround(value * r.scale) <= kMaxRaw) {
            chosen = r;
            break;
        }
    }
    block[codeOffset] = char(chosen.code);
    put16(block, valueOffset, std::lround(value * chosen.scale));
}

long angleRaw(double degrees) {
    double d = std::fmod(degrees, 360.0);
    if (d < 0)
        d += 360.0;
    const long raw = std::lround(d * 10);
    return raw >= 3600 ? 0 : raw;
}

} // namespace

QByteArray encodeBlock(const Measurement& m) {
    QByteArray block(kBlockSize, '\0');
    for (int ch = 0; ch < 2; ++ch) {
        putRanged(block, 2 * ch, 8 + ch, m.volts[size_t(ch)], kVoltageRanges);
        putRanged(block, 2 * ch + 4, 10 + ch, m.amperes[size_t(ch)], kCurrentRanges);
    }
    for (int n = 0; n < 4; ++n)
        put16(block, 12 + 2 * n, angleRaw(m.degrees[size_t(n)]));
    put16(block, 20, std::lround(m.hertz * 100));
    return block;
}

} // namespace pm::sim
