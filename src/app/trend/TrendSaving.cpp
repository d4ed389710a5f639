#include "app/trend/TrendSaving.h"

#include "platform/Export.h"
#include "platform/WorkbookWriter.h"
#include "records/Saving.h"
#include "trend/TrendCsv.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QImageWriter>
#include <charconv>
#include <memory>

namespace pm {

namespace {
enum Type { Png = 1, Jpeg, Csv, Workbook };

// "2026-07-12T08:00:01+02:00": the wall-clock time, and the offset kept as the log writes it.
std::pair<QDateTime, QString> splitTime(const QString& cell) {
    constexpr qsizetype kWallClock = 19; // yyyy-MM-ddTHH:mm:ss
    return {QDateTime::fromString(cell.left(kWallClock), Qt::ISODate), cell.mid(kWallClock)};
}

// Cancel is looked at, and the bar moved, once per this many rows.
constexpr std::size_t kRowsPerStep = 1024;

QString tooManyForAWorkbook(std::size_t readings) {
    return QStringLiteral("The plot shows %1 readings; a workbook takes at most %2. Show fewer or "
                          "save them as CSV.")
        .arg(readings)
        .arg(kTrendWorkbookMaxReadings);
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
    const int type = s.dialog.filterIndex();
    if (type == Png || type == Jpeg) {
        QByteArray bytes;
        QString why;
        if (encodeTrendPicture(plot, type == Png ? "png" : "jpeg", &bytes, &why))
            writeOrReport(s, path, bytes);
        else
            reportSaveFailure(s, why);
        return path;
    }
    last = std::max(first, std::min(last, series.size()));
    if (type != Csv && last - first > kTrendWorkbookMaxReadings) {
        reportSaveFailure(s, tooManyForAWorkbook(last - first));
        return path;
    }
    // The export's own copy: the live readings go on arriving, and the oldest making way,
    // while it is written.
    auto rows = std::make_shared<const TrendSeries>(trendSlice(series, first, last));
    const QString caption = QStringLiteral("Saving %1 readings to %2")
                                .arg(rows->size())
                                .arg(QFileInfo(path).fileName());
    if (type == Csv) {
        exportOrReport(s, path, caption,
                       [rows](ExportProgress& progress, QByteArray* file, QString*) {
                           *file = trendCsvExport(*rows, 0, rows->size(), progress);
                           return true;
                       });
    } else {
        exportOrReport(s, path, caption,
                       [rows, &workbook = s.workbook](ExportProgress& progress, QByteArray* file,
                                                      QString* why) {
                           return trendWorkbook(*rows, 0, rows->size(), workbook, file, why,
                                                &progress);
                       });
    }
    return path;
}

TrendSeries trendSlice(const TrendSeries& series, std::size_t first, std::size_t last) {
    last = std::min(last, series.size());
    first = std::min(first, last);
    // All of it (a week seen whole): its storage copied as it is, at the speed of memory.
    if (first == 0 && last == series.size())
        return series;
    TrendSeries slice(last - first);
    for (std::size_t i = first; i < last; ++i)
        slice.appendAsWritten(series.at(i));
    return slice;
}

QByteArray trendCsvExport(const TrendSeries& series, std::size_t first, std::size_t last,
                          ExportProgress& progress) {
    last = std::min(last, series.size());
    first = std::min(first, last);
    QByteArray text = trendCsvHeader().toLatin1();
    text.reserve(text.size() + qsizetype(last - first) * 160);
    progress.setTotal(qint64(last - first));
    TrendCsvRows rows;
    for (std::size_t i = first; i < last; ++i) {
        if ((i - first) % kRowsPerStep == 0 && !progress.advance(qint64(i - first)))
            return {};
        rows.append(text, series.at(i));
    }
    progress.advance(qint64(last - first));
    return text;
}

bool trendWorkbook(const TrendSeries& series, std::size_t first, std::size_t last,
                   WorkbookWriter& workbook, QByteArray* file, QString* why,
                   ExportProgress* progress) {
    if (last - first > kTrendWorkbookMaxReadings) {
        *why = tooManyForAWorkbook(last - first);
        return false;
    }
    // Closing the workbook (packing it) takes about a fifth of the time of its cells.
    if (progress)
        progress->setTotal(qint64(last - first) * 5 / 4);
    if (!workbook.beginInRowOrder(why))
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
        if (progress && (i - first) % kRowsPerStep == 0 && !progress->advance(qint64(i - first))) {
            workbook.discard();
            return false;
        }
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
    const bool finished = workbook.finish(file, why);
    if (progress)
        progress->advance(qint64(last - first) * 5 / 4);
    return finished;
}

} // namespace pm
