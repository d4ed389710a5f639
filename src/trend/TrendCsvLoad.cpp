#include "platform/AppendFile.h"
#include "trend/TrendCsv.h"

#include <QDir>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace pm {

namespace {

QString columnName(int f) {
    static const QStringList names = trendCsvHeaderCells();
    return names[f + 1];
}

struct Cursor {
    const char* p;
    const char* end;
    bool digits(int n, int& out) {
        if (end - p < n)
            return false;
        int v = 0;
        for (int k = 0; k < n; ++k, ++p) {
            if (*p < '0' || *p > '9')
                return false;
            v = v * 10 + (*p - '0');
        }
        out = v;
        return true;
    }
    bool take(char c) {
        if (p == end || *p != c)
            return false;
        ++p;
        return true;
    }
};

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

// "2024-05-01T08:00:00+02:00" (seconds fractions and "Z" too) as ms since the epoch.
std::optional<qint64> isoMsecs(const char* begin, const char* end) {
    Cursor c{begin, end};
    int y, mo, d, h, mi, s;
    if (!c.digits(4, y) || !c.take('-') || !c.digits(2, mo) || !c.take('-') || !c.digits(2, d) ||
        !(c.take('T') || c.take(' ')) || !c.digits(2, h) || !c.take(':') || !c.digits(2, mi) ||
        !c.take(':') || !c.digits(2, s))
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || s > 59)
        return std::nullopt;
    int ms = 0;
    if (c.take('.')) {
        int places = 0;
        for (; c.p != c.end && *c.p >= '0' && *c.p <= '9'; ++c.p, ++places)
            if (places < 3)
                ms = ms * 10 + (*c.p - '0');
        if (places == 0)
            return std::nullopt;
        for (; places < 3; ++places)
            ms *= 10;
    }
    int offset = 0;
    if (!c.take('Z')) {
        int sign = 0;
        if (c.take('+'))
            sign = 1;
        else if (c.take('-'))
            sign = -1;
        int oh = 0, om = 0;
        if (sign == 0 || !c.digits(2, oh))
            return std::nullopt;
        if (c.take(':') ? !c.digits(2, om) : (c.p != c.end && !c.digits(2, om)))
            return std::nullopt;
        if (oh > 23 || om > 59)
            return std::nullopt;
        offset = sign * (oh * 60 + om) * 60;
    }
    if (c.p != c.end)
        return std::nullopt;
    const qint64 seconds = daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s - offset;
    return seconds * 1000 + ms;
}

// A plain number as the log writes it: optional "-", digits, optional "." and digits. Read the
// way a panel text is read back, so that a loaded value is the value that was shown.
bool readValue(const char* begin, const char* end, float& value, quint8& decimals) {
    const char* p = begin + (begin != end && *begin == '-');
    int whole = 0;
    int fraction = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p)
        ++whole;
    if (p != end && *p == '.')
        for (++p; p != end && *p >= '0' && *p <= '9'; ++p)
            ++fraction;
    if (p != end || whole + fraction == 0)
        return false;
    double number = 0;
    if (std::from_chars(begin, end, number).ec != std::errc() || !std::isfinite(float(number)))
        return false;
    value = float(number);
    decimals = quint8(std::min(fraction, kTrendMaxDecimals));
    return true;
}

QString quoted(const char* begin, const char* end) {
    QString text = QString::fromUtf8(begin, end - begin);
    if (text.size() > 40)
        text = text.left(40) + QStringLiteral("...");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// One row; an empty text, or what is wrong with it.
QString readRow(const char* begin, const char* end, TrendReading& r) {
    const char* comma = std::find(begin, end, ',');
    const auto msecs = isoMsecs(begin, comma);
    if (!msecs)
        return QStringLiteral("%1 is not a time in ISO 8601 with its offset from UTC")
            .arg(quoted(begin, comma));
    r.msecs = *msecs;
    int f = 0;
    for (const char* cell = comma; cell != end; ++f) {
        ++cell;
        const char* next = std::find(cell, end, ',');
        if (f < kFieldCount && !readValue(cell, next, r.values[size_t(f)], r.decimals[size_t(f)]))
            return QStringLiteral("%1 %2 is not a number").arg(columnName(f), quoted(cell, next));
        cell = next;
    }
    if (f != kFieldCount)
        return QStringLiteral("%1 values where there are %2 columns").arg(f).arg(kFieldCount);
    return {};
}

} // namespace

TrendCsvLoad parseTrendCsv(const QByteArray& bytes) {
    TrendCsvLoad load;
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        p += 3;
    // Lines end with "\n" or "\r\n"; the last one may have no end.
    auto nextLine = [&](const char*& lineEnd) {
        const char* begin = p;
        const char* nl = std::find(p, end, '\n');
        p = nl == end ? end : nl + 1;
        lineEnd = nl != begin && nl[-1] == '\r' ? nl - 1 : nl;
        return begin;
    };
    const char* lineEnd = nullptr;
    const char* line = nextLine(lineEnd);
    const QByteArray header = trendCsvHeader().toLatin1().chopped(1);
    if (QByteArrayView(line, lineEnd - line) != header) {
        load.error = line == lineEnd && p == end
                         ? QStringLiteral("line 1: the file is empty")
                         : QStringLiteral("line 1: not the header of a readings log, \"%1\"")
                               .arg(QString::fromLatin1(header));
        return load;
    }
    TrendSeries series(std::max(size_t(std::count(p, end, '\n')) + 1, kTrendCapacity));
    std::vector<TrendReading> unordered; // only once a row goes back in time
    for (qsizetype number = 2; p != end; ++number) {
        line = nextLine(lineEnd);
        TrendReading r;
        const QString wrong = line == lineEnd ? QStringLiteral("empty") : readRow(line, lineEnd, r);
        if (!wrong.isEmpty()) {
            load.error = QStringLiteral("line %1: %2").arg(number).arg(wrong);
            return load;
        }
        if (unordered.empty() && !series.empty() && r.msecs < series.msecsAt(series.size() - 1)) {
            unordered.reserve(series.capacity());
            for (std::size_t i = 0; i < series.size(); ++i)
                unordered.push_back(series.at(i));
            series.clear();
        }
        if (unordered.empty())
            series.append(r);
        else
            unordered.push_back(r);
    }
    std::stable_sort(
        unordered.begin(), unordered.end(),
        [](const TrendReading& a, const TrendReading& b) { return a.msecs < b.msecs; });
    for (const TrendReading& r : unordered)
        series.append(r);
    load.series = std::move(series);
    load.ok = true;
    return load;
}

TrendCsvLoad loadTrendCsv(const QString& path) {
    QByteArray bytes;
    QString why;
    const QString name = QDir::toNativeSeparators(path);
    if (!readWholeFile(path, &bytes, &why)) {
        TrendCsvLoad load;
        load.error = QStringLiteral("%1 could not be read: %2").arg(name, why);
        return load;
    }
    TrendCsvLoad load = parseTrendCsv(bytes);
    if (!load.ok)
        load.error = QStringLiteral("%1 is not a readings log: %2.").arg(name, load.error);
    return load;
}

} // namespace pm
