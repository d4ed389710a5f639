#pragma once

#include "trend/TrendSeries.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace pm {

class ReadingTexts;

// The one CSV layout of logged readings, written by the window's recording and by
// `phasemeter-cli live --format csv`: a header line, then one row per reading, the time in ISO 8601
// with its offset from UTC, then the 17 values as plain numbers (no grouping, no degree sign).
// Lines end with "\n".
QString trendCsvHeader();
QString trendCsvRow(const QDateTime& time, const ReadingTexts& texts);

// The same for readings held: each value with the decimals it was shown with, the time in the
// local time of this machine. Cells without separators, for workbooks.
QStringList trendCsvHeaderCells();
QStringList trendCsvCells(const TrendReading& reading);
QString trendCsvRow(const TrendReading& reading);

// Many rows one after another: the local offset from UTC, which costs microseconds to look up, is
// looked up once per quarter of an hour (offsets change only on quarter hours).
class TrendCsvRows {
public:
    QStringList cells(const TrendReading& reading);
    void append(QByteArray& text, const TrendReading& reading); // the row and its "\n"

private:
    int offsetAt(qint64 msecs);
    qint64 quarter_ = 0;
    int offset_ = 0;
    bool known_ = false;
};
// The header and the readings [first, last) of the series: the file a log of them would be.
QByteArray trendCsvText(const TrendSeries& series, std::size_t first, std::size_t last);

// Reads such a file whole; on any fault nothing is returned but the message, which names the line
// and what is wrong with it. Rows out of time order are put in order. A last line cut short or
// blank (power lost while it was written) is left out and said so. Memory follows the rows read,
// about 90 bytes a reading, whatever the file's length.
struct TrendCsvLoad {
    bool ok = false;
    QString error;
    TrendSeries series{1};
    bool lastRowIncomplete = false;
};
TrendCsvLoad loadTrendCsv(const QString& path);
// The same from a device; it is read twice (once to count the rows), so it must seek back to its
// start unless it is refused on the way.
TrendCsvLoad loadTrendCsv(QIODevice& in);
// The same for the bytes of a file; the message starts "line N: ".
TrendCsvLoad parseTrendCsv(const QByteArray& bytes);
// One line of such a file, without its line end, is a whole row that loads.
bool isTrendCsvRow(QByteArrayView line);

} // namespace pm
