#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace pm {

// A transformer's ratio as its plate gives it, primary over secondary: "200/5", "10000/100".
struct Ratio {
    double primary = 1;
    double secondary = 1;

    double factor() const { return primary / secondary; }
    bool unity() const { return primary == secondary; }
    // "200/5"; the plain form a user typed, without grouping.
    QString text() const;
    bool operator==(const Ratio&) const = default;
};

// "200/5", "10000/100", "33000/110", or a bare factor ("40" is 40/1); both sides positive and
// finite. None, with why in `error`, for anything else.
std::optional<Ratio> parseRatio(QStringView text, QString* error = nullptr);

// A number written the short way ("0.1", "40", "1e+20"), never with the locale's separators.
QString plainNumber(double value);
// A number read back the same way, the whole text or nothing.
std::optional<double> readNumber(QStringView text);

} // namespace pm
