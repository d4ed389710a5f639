#include "trend/TrendCsv.h"

#include "platform/AppendFile.h"
#include "protocol/Reading.h"

#include <QDir>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

namespace pm {

namespace {

// Column names of the panel's values, in the order of Field.
const char* const kColumns[kFieldCount] = {
    "U1/V",   "U2/V", "I1/A", "I2/A",     "P1/kW",    "P2/kW",    "Q1/kvar",  "Q2/kvar", "S1/kVA",
    "S2/kVA", "PF1",  "PF2",  "U1U2/deg", "I1I2/deg", "U1I1/deg", "U2I2/deg", "F/Hz",
};

QString plainNumber(QString text) {
    text.remove(QLatin1Char(','));
    text.remove(QChar(0x00B0));
    return text;
}

// Local time with its offset from UTC, so that rows stay in order across a clock change.
QString timeText(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

// Civil date of a day counted from 1970-01-01 (proleptic Gregorian).
void civilFromDays(qint64 days, int& y, int& m, int& d) {
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 doe = days - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

char* putDigits(char* out, int value, int width) {
    for (int k = width - 1; k >= 0; --k, value /= 10)
        out[k] = char('0' + value % 10);
    return out + width;
}

// The time as timeText() writes it, without a QDateTime per row.
void appendTime(QByteArray& out, qint64 msecs, int offset) {
    const qint64 local = (msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000) + offset;
    const qint64 days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    const int secs = int(local - days * 86400);
    int y, m, d;
    civilFromDays(days, y, m, d);
    if (y < 0 || y > 9999 || offset % 60 != 0) {
        out += timeText(QDateTime::fromMSecsSinceEpoch(msecs).toOffsetFromUtc(offset)).toLatin1();
        return;
    }
    char buf[32];
    char* p = putDigits(buf, y, 4);
    *p++ = '-';
    p = putDigits(p, m, 2);
    *p++ = '-';
    p = putDigits(p, d, 2);
    *p++ = 'T';
    p = putDigits(p, secs / 3600, 2);
    *p++ = ':';
    p = putDigits(p, secs / 60 % 60, 2);
    *p++ = ':';
    p = putDigits(p, secs % 60, 2);
    if (offset == 0) {
        *p++ = 'Z';
    } else {
        *p++ = offset < 0 ? '-' : '+';
        const int minutes = std::abs(offset) / 60;
        p = putDigits(p, minutes / 60, 2);
        *p++ = ':';
        p = putDigits(p, minutes % 60, 2);
    }
    out.append(buf, p - buf);
}

// The shortest text that reads back as the same value, with the decimals it was shown with.
void appendValue(QByteArray& out, float value, int decimals) {
    if (value == 0)
        value = 0; // no "-0"
    char buf[64];
    char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed).ptr;
    const char* point = std::find(buf, end, '.');
    const int shown = point == end ? 0 : int(end - point - 1);
    if (shown > decimals) {
        end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
    } else if (shown < decimals) {
        if (point == end)
            *end++ = '.';
        end = std::fill_n(end, decimals - shown, '0');
    }
    out.append(buf, end - buf);
}

void appendRow(QByteArray& out, const TrendReading& r, int offset) {
    appendTime(out, r.msecs, offset);
    for (int f = 0; f < kFieldCount; ++f) {
        out += ',';
        appendValue(out, r.values[size_t(f)], r.decimals[size_t(f)]);
    }
    out += '\n';
}

// --- reading -------------------------------------------------------------------------------

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
            return QStringLiteral("%1 %2 is not a number")
                .arg(QLatin1String(kColumns[f]), quoted(cell, next));
        cell = next;
    }
    if (f != kFieldCount)
        return QStringLiteral("%1 values where there are %2 columns").arg(f).arg(kFieldCount);
    return {};
}

} // namespace

QStringList trendCsvHeaderCells() {
    QStringList cells{QStringLiteral("time")};
    for (const char* name : kColumns)
        cells << QLatin1String(name);
    return cells;
}

QString trendCsvHeader() {
    return trendCsvHeaderCells().join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString trendCsvRow(const QDateTime& time, const ReadingTexts& texts) {
    QString line = timeText(time);
    for (int f = 0; f < kFieldCount; ++f)
        line += QLatin1Char(',') + plainNumber(texts.text(Field(f)));
    return line + QLatin1Char('\n');
}

int TrendCsvRows::offsetAt(qint64 msecs) {
    constexpr qint64 kQuarter = 15 * 60 * 1000;
    const qint64 quarter = msecs >= 0 ? msecs / kQuarter : (msecs - kQuarter + 1) / kQuarter;
    if (quarter != quarter_ || !known_) {
        quarter_ = quarter;
        known_ = true;
        offset_ = QDateTime::fromMSecsSinceEpoch(msecs).offsetFromUtc();
    }
    return offset_;
}

QStringList TrendCsvRows::cells(const TrendReading& reading) {
    QByteArray cell;
    appendTime(cell, reading.msecs, offsetAt(reading.msecs));
    QStringList cells{QString::fromLatin1(cell)};
    for (int f = 0; f < kFieldCount; ++f) {
        cell.clear();
        appendValue(cell, reading.values[size_t(f)], reading.decimals[size_t(f)]);
        cells << QString::fromLatin1(cell);
    }
    return cells;
}

void TrendCsvRows::append(QByteArray& text, const TrendReading& reading) {
    appendRow(text, reading, offsetAt(reading.msecs));
}

QStringList trendCsvCells(const TrendReading& reading) {
    return TrendCsvRows().cells(reading);
}

QString trendCsvRow(const TrendReading& reading) {
    QByteArray row;
    TrendCsvRows().append(row, reading);
    return QString::fromLatin1(row);
}

QByteArray trendCsvText(const TrendSeries& series, std::size_t first, std::size_t last) {
    QByteArray text = trendCsvHeader().toLatin1();
    last = std::min(last, series.size());
    text.reserve(text.size() + qsizetype(last - std::min(first, last)) * 160);
    TrendCsvRows rows;
    for (std::size_t i = first; i < last; ++i)
        rows.append(text, series.at(i));
    return text;
}

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
