#include "protocol/Fmtval.h"

#include <charconv>
#include <cmath>
#include <string>

namespace pm {

namespace {

// Rounds the decimal digits of |value| half away from zero at `decimals` places.
// Returns the integer part and the fraction digits as text.
void roundDecimal(double magnitude, int decimals, std::string& intPart, std::string& fracPart) {
    // d.dddddde±XX: 7 significant digits, whatever the process locale says a decimal point is.
    char buf[32];
    const auto written =
        std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 6);
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, 6);
    const char* sign = buf + 9;
    int exponent = 0;
    std::from_chars(sign + 1, written.ptr, exponent);
    if (*sign == '-')
        exponent = -exponent;
    // The digits stand for 0.d1d2... x 10^(exponent + 1); place them on a fixed grid.
    const int pointPos = exponent + 1; // digits before the decimal point
    std::string all; // integer digits followed by exactly `decimals` fraction digits
    int lead = 0;
    if (pointPos <= 0) {
        lead = 1; // a single "0" before the point
        all = "0" + std::string(-pointPos, '0') + digits;
    } else {
        all = digits;
        if (int(all.size()) < pointPos)
            all.append(pointPos - all.size(), '0');
        lead = pointPos;
    }
    const int keep = lead + decimals;
    if (int(all.size()) < keep)
        all.append(keep - all.size(), '0');
    const bool roundUp = int(all.size()) > keep && all[keep] >= '5';
    all.resize(keep);
    if (roundUp) {
        int k = keep - 1;
        while (k >= 0 && all[k] == '9')
            all[k--] = '0';
        if (k >= 0)
            ++all[k];
        else {
            all.insert(all.begin(), '1');
            ++lead;
        }
    }
    intPart = all.substr(0, lead);
    fracPart = all.substr(lead);
    const auto firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "0" : intPart.substr(firstNonZero);
}

QString grouped(const std::string& intPart) {
    QString out;
    const int n = int(intPart.size());
    for (int k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            out += QLatin1Char(',');
        out += QLatin1Char(intPart[k]);
    }
    return out;
}

} // namespace

QString fmtval(float value, int decimals) {
    if (!std::isfinite(value))
        value = 0.0f;
    std::string intPart, fracPart;
    roundDecimal(std::fabs(double(value)), decimals, intPart, fracPart);
    QString text = grouped(intPart);
    if (decimals > 0)
        text += QLatin1Char('.') + QString::fromLatin1(fracPart.data(), qsizetype(fracPart.size()));
    // A negative value that rounds to zero is shown without its sign.
    const bool zero = intPart == "0" && fracPart.find_first_not_of('0') == std::string::npos;
    if (value < 0 && !zero)
        text.prepend(QLatin1Char('-'));
    return text;
}

double textValue(QStringView text) {
    std::string number;
    qsizetype k = 0;
    if (k < text.size() && text[k] == u'-')
        number += char(text[k++].unicode());
    for (; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c.unicode() >= '0' && c.unicode() <= '9')
            number += char(c.unicode());
        else if (c != u',')
            break;
    }
    if (k < text.size() && text[k] == u'.') {
        number += '.';
        for (++k; k < text.size() && text[k].unicode() >= '0' && text[k].unicode() <= '9'; ++k)
            number += char(text[k].unicode());
    }
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return value;
}

double roundedWhole(double value) {
    return textValue(fmtval(float(value), 0));
}

} // namespace pm
