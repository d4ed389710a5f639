#pragma once

#include "app/trend/TrendViewport.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>
#include <utility>

namespace pm {

class TrendSeries;
class WorkbookWriter;
struct SaveServices;

// What "Save" offers on the Trend tab; the positions share the dialog's remembered type with the
// other saves.
inline const QString kTrendFilter =
    QStringLiteral("png (*.png)|*.png|jpg (*.jpg)|*.jpg|csv (*.csv)|*.csv|excel (*.xlsx)|*.xlsx|");
// A sheet holds 1,048,576 rows; one is the header.
inline constexpr std::size_t kTrendWorkbookMaxReadings = 1'048'575;

// The readings [first, last) of the series that lie in the range.
std::pair<std::size_t, std::size_t> shownReadingsOf(const TrendSeries& series,
                                                    TrendViewport::Range range);

// "Save" on the Trend tab: the plot as a PNG or JPEG picture, or the readings [first, last) as a
// CSV file in the layout of the log, or as a workbook of the same cells.
void saveTrend(const QImage& plot, const TrendSeries& series, std::size_t first, std::size_t last,
               SaveServices& services);

// The workbook: the CSV's header, then one row per reading, every cell stored as text.
bool trendWorkbook(const TrendSeries& series, std::size_t first, std::size_t last,
                   WorkbookWriter& workbook, QByteArray* file, QString* why);

} // namespace pm
