#include "jobs/Ratio.h"

#include <charconv>
#include <cmath>

namespace pm {

QString plainNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value == 0 ? 0.0 : value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

std::optional<double> readNumber(QStringView text) {
    const QByteArray latin = text.trimmed().toLatin1();
    if (latin.isEmpty() || latin.startsWith('+'))
        return std::nullopt;
    double value = 0;
    const char* end = latin.constData() + latin.size();
    const auto result = std::from_chars(latin.constData(), end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString Ratio::text() const {
    return plainNumber(primary) + QLatin1Char('/') + plainNumber(secondary);
}

std::optional<Ratio> parseRatio(QStringView text, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<Ratio> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const std::optional<double> primary = readNumber(slash < 0 ? text : text.left(slash));
    const std::optional<double> secondary =
        slash < 0 ? std::optional<double>(1.0) : readNumber(text.mid(slash + 1));
    if (!primary || !secondary)
        return fail(QStringLiteral("\"%1\" is not a ratio such as 200/5").arg(text));
    if (!(*primary > 0) || !(*secondary > 0))
        return fail(QStringLiteral("both sides of the ratio \"%1\" must be above zero").arg(text));
    return Ratio{*primary, *secondary};
}

} // namespace pm
