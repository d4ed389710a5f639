#include "app/trend/TrendSaving.h"

#include "platform/WorkbookWriter.h"
#include "records/Saving.h"
#include "trend/TrendCsv.h"

#include <QBuffer>
#include <QDateTime>
#include <QImageWriter>
#include <charconv>

namespace pm {

namespace {
enum Type { Png = 1, Jpeg, Csv, Workbook };

// "2026-07-12T08:00:01+02:00": the wall-clock time, and the offset kept as the log writes it.
std::pair<QDateTime, QString> splitTime(const QString& cell) {
    constexpr qsizetype kWallClock = 19; // yyyy-MM-ddTHH:mm:ss
    return {QDateTime::fromString(cell.left(kWallClock), Qt::ISODate), cell.mid(kWallClock)};
}

int decimalsOf(const QString& cell) {
    const qsizetype point = cell.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(cell.size() - point - 1);
}
} // namespace

bool encodeTrendPicture(const QImage& plot, const char* format, QByteArray* bytes, QString* why) {
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    const bool png = qstrcmp(format, "png") == 0;
    // For PNG the quality picks the compression: 0 is the strongest. Every colour is kept as it
    // is: a palette would drop the faint shading of the gaps and shift the lines' colours.
    writer.setQuality(png ? 0 : 90);
    if (plot.isNull() || !writer.write(plot)) {
        *why = QStringLiteral("The picture could not be made: %1").arg(writer.errorString());
        return false;
    }
    return true;
}

std::pair<std::size_t, std::size_t> shownReadingsOf(const TrendSeries& series,
                                                    TrendViewport::Range range) {
    return {series.lowerBound(range.from), series.lowerBound(range.to + 1)};
}

QString saveTrend(const QImage& plot, const TrendSeries& series, std::size_t first,
                  std::size_t last, SaveServices& s, const QString& folder) {
    SaveRequest request = saveRequest(s, kTrendFilter);
    if (!folder.isEmpty())
        request.initDir = folder;
    const QString path = chooseSavePath(s, request);
    if (path.isEmpty())
        return path;
    QByteArray bytes;
    QString why;
    bool made = true;
    switch (s.dialog.filterIndex()) {
    case Png:
        made = encodeTrendPicture(plot, "png", &bytes, &why);
        break;
    case Jpeg:
        made = encodeTrendPicture(plot, "jpeg", &bytes, &why);
        break;
    case Csv:
        bytes = trendCsvText(series, first, last);
        break;
    default:
        made = trendWorkbook(series, first, last, s.workbook, &bytes, &why);
        break;
    }
    if (made)
        writeOrReport(s, path, bytes);
    else
        reportSaveFailure(s, why);
    return path;
}

bool trendWorkbook(const TrendSeries& series, std::size_t first, std::size_t last,
                   WorkbookWriter& workbook, QByteArray* file, QString* why) {
    if (last - first > kTrendWorkbookMaxReadings) {
        *why = QStringLiteral("The plot shows %1 readings; a workbook takes at most %2. Show fewer "
                              "or save them as CSV.")
                   .arg(last - first)
                   .arg(kTrendWorkbookMaxReadings);
        return false;
    }
    if (!workbook.begin(why))
        return false;
    QStringList header = trendCsvHeaderCells();
    header.insert(1, QStringLiteral("UTC offset"));
    for (int c = 0; c < header.size(); ++c)
        if (!workbook.setCell(1, c + 1, header[c], why))
            return false;
    workbook.freezeRowsAbove(2);
    workbook.setColumnWidth(1, 20); // 2026-07-12 08:00:01
    workbook.setColumnWidth(2, 11);
    for (int c = 3; c <= header.size(); ++c)
        workbook.setColumnWidth(c, 10);
    TrendCsvRows rows;
    for (std::size_t i = first; i < last; ++i) {
        // The cells of the log's row: each number exactly as shown, not as the float it is kept in.
        const QStringList cells = rows.cells(series.at(i));
        const int row = int(i - first) + 2;
        const auto [time, offset] = splitTime(cells[0]);
        if (!workbook.setDateTime(row, 1, time, why) || !workbook.setCell(row, 2, offset, why))
            return false;
        for (int c = 1; c < cells.size(); ++c) {
            double value = 0;
            const QByteArray digits = cells[c].toLatin1();
            std::from_chars(digits.constData(), digits.constData() + digits.size(), value);
            if (!workbook.setNumber(row, c + 2, value, decimalsOf(cells[c]), why))
                return false;
        }
    }
    return workbook.finish(file, why);
}

} // namespace pm
