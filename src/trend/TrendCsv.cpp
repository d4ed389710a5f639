#include "trend/TrendCsv.h"

#include "protocol/Reading.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

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

} // namespace pm
