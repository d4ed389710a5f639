#include "protocol/Decode.h"

#include "protocol/Fmtval.h"
#include "protocol/Reading.h"

#include <cmath>
#include <optional>

namespace pm {

namespace {

constexpr double kPi = 3.14159265359; // the instrument's own constant, not full-precision pi
constexpr double kMinVoltage =
    10.0; // below it, or below the current threshold, a channel is unloaded
constexpr double kMinCurrent = 0.02;

// A 16-bit little-endian raw value; none when its bytes are missing or it exceeds 32767.
std::optional<int> raw16(const QByteArray& b, int offset) {
    if (offset + 1 >= b.size())
        return std::nullopt;
    const int low = quint8(b[offset]);
    const int high = quint8(b[offset + 1]);
    if (high >= 0x80)
        return std::nullopt;
    return high * 256 + low;
}

std::optional<int> byteAt(const QByteArray& b, int offset) {
    if (offset >= b.size())
        return std::nullopt;
    return quint8(b[offset]);
}

QString fmt(double value, int decimals) {
    return fmtval(float(value), decimals);
}

struct Scale {
    double divisor;
    int decimals;
};

std::optional<Scale> voltageScale(int code) {
    switch (code) {
    case 1:
        return Scale{100, 2};
    case 2:
        return Scale{10, 1};
    case 3:
        return Scale{1, 0};
    default:
        return std::nullopt;
    }
}

std::optional<Scale> currentScale(int code) {
    switch (code) {
    case 2:
        return Scale{10000, 4};
    case 3:
        return Scale{1000, 3};
    case 4:
        return Scale{100, 2};
    default:
        return std::nullopt;
    }
}

void decodeRanged(const QByteArray& b, int valueOffset, int codeOffset,
                  std::optional<Scale> (*scaleOf)(int), ReadingTexts& dest, Field field) {
    const auto code = byteAt(b, codeOffset);
    const auto raw = raw16(b, valueOffset);
    if (!code || !raw)
        return;
    if (const auto scale = scaleOf(*code))
        dest.setText(field, fmt(*raw / scale->divisor, scale->decimals));
}

// S, PF, P and Q of one channel, each computed from the texts already written.
void derivePower(ReadingTexts& dest, int ch) {
    const double u = textValue(dest.text(voltageField(ch)));
    const double i = textValue(dest.text(currentField(ch)));
    if (!(u >= kMinVoltage && i >= kMinCurrent)) {
        dest.setText(apparentField(ch), QStringLiteral("0.0000"));
        dest.setText(powerFactorField(ch), QStringLiteral("1.000"));
        dest.setText(activeField(ch), QStringLiteral("0.0000"));
        dest.setText(reactiveField(ch), QStringLiteral("0.0000"));
        return;
    }
    dest.setText(apparentField(ch), fmt(u * i / 1000, 4));
    const double degrees = roundedWhole(textValue(dest.text(phaseField(ch + 2))));
    const double angle = degrees * kPi / 180;
    dest.setText(powerFactorField(ch), fmt(std::cos(angle), 3));
    const double s = textValue(dest.text(apparentField(ch)));
    const double p = std::fabs(textValue(dest.text(powerFactorField(ch)))) * s;
    dest.setText(activeField(ch), fmt(p, 4));
    const QString sine = fmt(std::sin(angle), 3); // a working text, never shown
    dest.setText(reactiveField(ch), fmt(std::fabs(textValue(sine)) * s, 4));
}

} // namespace

void decodeReading(const QByteArray& b, ReadingTexts& dest) {
    for (int ch = 0; ch < 2; ++ch)
        decodeRanged(b, 2 * ch, 8 + ch, voltageScale, dest, voltageField(ch));
    for (int ch = 0; ch < 2; ++ch)
        decodeRanged(b, 2 * ch + 4, 10 + ch, currentScale, dest, currentField(ch));
    for (int n = 0; n < 4; ++n)
        if (const auto raw = raw16(b, 2 * n + 12))
            dest.setText(phaseField(n), fmt(*raw / 10.0, 1) + QChar(0x00B0));
    if (const auto raw = raw16(b, 20))
        dest.setText(Field::Freq, fmt(*raw / 100.0, 2));
    for (int ch = 0; ch < 2; ++ch)
        derivePower(dest, ch);
}

bool readingPossible(const QByteArray& b) {
    if (b.size() < 22)
        return false;
    for (int offset = 0; offset <= 20; offset += 2) {
        if (offset == 8 || offset == 10)
            continue; // the range codes
        if (!raw16(b, offset))
            return false;
    }
    for (int ch = 0; ch < 2; ++ch)
        if (!voltageScale(quint8(b[8 + ch])) || !currentScale(quint8(b[10 + ch])))
            return false;
    for (int n = 0; n < 4; ++n)
        if (*raw16(b, 2 * n + 12) >= 3600)
            return false;
    return true;
}

void livein(const QByteArray& inbuf, Panel& panel) {
    decodeReading(inbuf, panel);
}

} // namespace pm
