#include "trend/TrendCsv.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
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

// A plain number as the log writes it: optional "-", digits, optional "." and digits, up to the
// next comma or the end of the row, where `p` is left. Read the way a panel text is read back,
// so that a loaded value is the value that was shown. A week holds ten million of them: up to 15
// digits the number is an exact integer over an exact power of ten, whose quotient is the nearest
// double just as from_chars gives it, at a fraction of the cost.
bool readValue(const char*& p, const char* end, float& value, quint8& decimals) {
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* const begin = p;
    const bool negative = p != end && *p == '-';
    p += negative;
    std::uint64_t digits = 0; // wraps past 19 digits, and is then not used
    int whole = 0;
    int fraction = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p, ++whole)
        digits = digits * 10 + std::uint64_t(*p - '0');
    if (p != end && *p == '.')
        for (++p; p != end && *p >= '0' && *p <= '9'; ++p, ++fraction)
            digits = digits * 10 + std::uint64_t(*p - '0');
    if ((p != end && *p != ',') || whole + fraction == 0)
        return false;
    double number = 0;
    if (whole + fraction <= 15) {
        number = double(digits) / kPowersOfTen[fraction];
        if (negative)
            number = -number;
    } else if (std::from_chars(begin, p, number).ec != std::errc()) {
        return false;
    }
    if (!std::isfinite(float(number)))
        return false;
    value = float(number);
    decimals = quint8(std::min(fraction, kTrendMaxDecimals));
    return true;
}

// At most the first 40 characters, converted alone: a bad line may be as long as the file.
QString quoted(const char* begin, const char* end) {
    constexpr qsizetype kShown = 40;
    const qsizetype bytes = std::min<qsizetype>(end - begin, kShown * 4);
    QString text = QString::fromUtf8(begin, bytes);
    if (text.size() > kShown || bytes < end - begin)
        text = text.left(kShown) + QStringLiteral("...");
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
    for (const char* p = comma; p != end; ++f) {
        const char* cell = ++p;
        if (f >= kFieldCount)
            p = std::find(cell, end, ',');
        else if (!readValue(p, end, r.values[size_t(f)], r.decimals[size_t(f)]))
            return QStringLiteral("%1 %2 is not a number")
                .arg(columnName(f), quoted(cell, std::find(cell, end, ',')));
    }
    if (f != kFieldCount)
        return QStringLiteral("%1 values where there are %2 columns").arg(f).arg(kFieldCount);
    return {};
}

// The lines of a file a block at a time, so that memory follows the longest line allowed, not
// the file. A longer line is handed over cut at that length and flagged.
class LineReader {
public:
    static constexpr qsizetype kMaxLine = 1024;
    explicit LineReader(QIODevice& in) : in_(in) {}

    struct Line {
        const char* begin = nullptr;
        const char* end = nullptr; // without "\r\n" or "\n"
        bool ended = false;        // a line end followed
        bool tooLong = false;
    };
    // False once the input is used up. The line stays valid until the next call.
    bool next(Line& line) {
        for (;;) {
            const char* base = buffer_.constData();
            const qsizetype left = buffer_.size() - pos_;
            const char* nl = static_cast<const char*>(std::memchr(base + pos_, '\n', size_t(left)));
            if (nl && nl - (base + pos_) <= kMaxLine + 1) {
                line = {base + pos_, nl, true, false};
                if (line.end != line.begin && line.end[-1] == '\r')
                    --line.end;
                pos_ = nl - base + 1;
                return true;
            }
            if (left > kMaxLine + 1) {
                line = {base + pos_, base + pos_ + kMaxLine, false, true};
                pos_ = buffer_.size();
                return true;
            }
            if (!fill()) {
                if (pos_ == buffer_.size())
                    return false;
                line = {buffer_.constData() + pos_, buffer_.constData() + buffer_.size(), false,
                        false};
                pos_ = buffer_.size();
                return true;
            }
        }
    }
    bool atEnd() { return pos_ == buffer_.size() && !fill(); }
    bool failed() const { return failed_; }

private:
    // More bytes behind those not yet handed over.
    bool fill() {
        if (done_)
            return false;
        buffer_.remove(0, pos_);
        pos_ = 0;
        const qsizetype had = buffer_.size();
        buffer_.resize(had + kBlock);
        const qint64 n = in_.read(buffer_.data() + had, kBlock);
        buffer_.resize(had + std::max<qint64>(n, 0));
        if (n <= 0) {
            done_ = true;
            failed_ = n < 0;
            return false;
        }
        return true;
    }

    static constexpr qsizetype kBlock = 64 * 1024;
    QIODevice& in_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool done_ = false;
    bool failed_ = false;
};

bool blank(const char* begin, const char* end) {
    return std::all_of(begin, end, [](char c) { return c == ' ' || c == '\t' || c == '\0'; });
}

// One pass over a recording: checks every row, counts them and tells whether they come in time
// order; with `into`, also keeps them, up to `limit` rows (what the first pass counted: a log
// still being recorded may have grown since).
struct Pass {
    QString error;
    std::size_t rows = 0;
    bool ordered = true;
    bool lastIncomplete = false;
};
Pass readRecording(QIODevice& in, TrendSeries* into, std::size_t limit) {
    Pass pass;
    LineReader lines(in);
    LineReader::Line line;
    const QByteArray header = trendCsvHeader().toLatin1().chopped(1);
    if (!lines.next(line)) {
        pass.error =
            lines.failed() ? in.errorString() : QStringLiteral("line 1: the file is empty");
        return pass;
    }
    QByteArrayView first(line.begin, line.end - line.begin);
    if (first.startsWith("\xEF\xBB\xBF"))
        first = first.sliced(3);
    if (first != header) {
        pass.error = QStringLiteral("line 1: not the header of a readings log, \"%1\"")
                         .arg(QString::fromLatin1(header));
        return pass;
    }
    qint64 newest = 0;
    for (qsizetype number = 2; pass.rows < limit && lines.next(line); ++number) {
        TrendReading r;
        QString wrong;
        if (line.tooLong)
            wrong = QStringLiteral("%1 is longer than %2 characters")
                        .arg(quoted(line.begin, line.end))
                        .arg(LineReader::kMaxLine);
        else if (line.begin == line.end)
            wrong = QStringLiteral("empty");
        else
            wrong = readRow(line.begin, line.end, r);
        if (!wrong.isEmpty()) {
            // Power lost while the last row was written leaves it cut short, or blank where the
            // file system had made room for it: every row before it is whole.
            const bool cut = !line.ended || blank(line.begin, line.end);
            if (cut && !line.tooLong && lines.atEnd()) {
                pass.lastIncomplete = true;
                break;
            }
            pass.error = QStringLiteral("line %1: %2").arg(number).arg(wrong);
            return pass;
        }
        if (pass.rows > 0 && r.msecs < newest)
            pass.ordered = false;
        newest = std::max(newest, r.msecs);
        ++pass.rows;
        if (into)
            into->appendAsWritten(r);
    }
    if (lines.failed())
        pass.error = in.errorString();
    return pass;
}

} // namespace

TrendCsvLoad loadTrendCsv(QIODevice& in) {
    TrendCsvLoad load;
    const Pass counted = readRecording(in, nullptr, std::numeric_limits<std::size_t>::max());
    if (!counted.error.isEmpty()) {
        load.error = counted.error;
        return load;
    }
    // Memory for the rows there are, no more: a second pass keeps them.
    TrendSeries series(counted.rows);
    if (!in.seek(0)) {
        load.error = in.errorString();
        return load;
    }
    const Pass kept = readRecording(in, &series, counted.rows);
    if (!kept.error.isEmpty() || series.size() != counted.rows) {
        load.error = kept.error.isEmpty() ? QStringLiteral("the file changed while it was read")
                                          : kept.error;
        return load;
    }
    if (!counted.ordered)
        series.sortByTime();
    load.series = std::move(series);
    load.lastRowIncomplete = counted.lastIncomplete;
    load.ok = true;
    return load;
}

TrendCsvLoad parseTrendCsv(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return loadTrendCsv(buffer);
}

bool isTrendCsvRow(QByteArrayView line) {
    TrendReading r;
    return readRow(line.begin(), line.end(), r).isEmpty();
}

TrendCsvLoad loadTrendCsv(const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    QFile file(path);
    TrendCsvLoad load;
    if (!file.open(QIODevice::ReadOnly)) {
        load.error = QStringLiteral("%1 could not be read: %2").arg(name, file.errorString());
        return load;
    }
    load = loadTrendCsv(file);
    if (!load.ok)
        load.error = QStringLiteral("%1 is not a readings log: %2.").arg(name, load.error);
    return load;
}

} // namespace pm
