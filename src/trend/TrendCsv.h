#pragma once

#include "trend/TrendSeries.h"

#include <QDateTime>
#include <QString>

namespace pm {

class ReadingTexts;

// The one CSV layout of logged readings, written by the window's recording and by
// `phasemeter-cli live --format csv`: a header line, then one row per reading, the time in ISO 8601
// with its offset from UTC, then the 17 values as plain numbers (no grouping, no degree sign).
QString trendCsvHeader();
QString trendCsvRow(const QDateTime& time, const ReadingTexts& texts);

// Reads such a file whole; on any fault nothing is returned but the message, which names the line
// and what is wrong with it.
struct TrendCsvLoad {
    bool ok = false;
    QString error;
    TrendSeries series;
};
TrendCsvLoad loadTrendCsv(const QString& path);

} // namespace pm
