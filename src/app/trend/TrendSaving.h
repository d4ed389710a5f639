#pragma once

#include "app/trend/TrendViewport.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>
#include <utility>

namespace pm {

class ExportProgress;
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
// CSV file in the layout of the log, or as a workbook of the same readings. The dialog starts in
// `folder`, or in the save folder when it is empty; the path chosen is returned (empty after a
// cancel). The readings are copied and written on the export's thread, with a progress bar and
// Cancel, while readings go on coming in.
QString saveTrend(const QImage& plot, const TrendSeries& series, std::size_t first,
                  std::size_t last, SaveServices& services, const QString& folder);

// A picture as a file of that format ("png", "jpeg"): PNG without loss, compressed as far as it
// goes, since a plot is mostly flat colour.
bool encodeTrendPicture(const QImage& plot, const char* format, QByteArray* bytes, QString* why);

// The workbook of the readings, ready to chart and sum: the time as a date-time cell and its
// offset from UTC as text, each value a number with the decimals it was shown with; the header
// row frozen and the columns wide enough for their contents.
// With `progress`, it tells how far it has come and stops when cancelled, dropping the workbook
// unfinished.
bool trendWorkbook(const TrendSeries& series, std::size_t first, std::size_t last,
                   WorkbookWriter& workbook, QByteArray* file, QString* why,
                   ExportProgress* progress = nullptr);
// The readings [first, last) as the CSV file of a log (trendCsvText), telling `progress`; empty
// once cancelled.
QByteArray trendCsvExport(const TrendSeries& series, std::size_t first, std::size_t last,
                          ExportProgress& progress);
// The readings [first, last) on their own: what an export works from while more come in.
TrendSeries trendSlice(const TrendSeries& series, std::size_t first, std::size_t last);

} // namespace pm
