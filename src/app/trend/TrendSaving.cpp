#include "app/trend/TrendSaving.h"

#include "platform/WorkbookWriter.h"
#include "records/Saving.h"
#include "trend/TrendCsv.h"

#include <QBuffer>
#include <QImageWriter>

namespace pm {

namespace {
enum Type { Png = 1, Jpeg, Csv, Workbook };

bool encode(const QImage& plot, const char* format, QByteArray* bytes, QString* why) {
    QBuffer buffer(bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(90);
    if (plot.isNull() || !writer.write(plot)) {
        *why = QStringLiteral("The picture could not be made: %1").arg(writer.errorString());
        return false;
    }
    return true;
}
} // namespace

std::pair<std::size_t, std::size_t> shownReadingsOf(const TrendSeries& series,
                                                    TrendViewport::Range range) {
    return {series.lowerBound(range.from), series.lowerBound(range.to + 1)};
}

void saveTrend(const QImage& plot, const TrendSeries& series, std::size_t first, std::size_t last,
               SaveServices& s) {
    const QString path = chooseSavePath(s, saveRequest(s, kTrendFilter));
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString why;
    bool made = true;
    switch (s.dialog.filterIndex()) {
    case Png:
        made = encode(plot, "png", &bytes, &why);
        break;
    case Jpeg:
        made = encode(plot, "jpeg", &bytes, &why);
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
    auto writeRow = [&](int row, const QStringList& cells) {
        for (int c = 0; c < cells.size(); ++c)
            if (!workbook.setCell(row, c + 1, cells[c], why))
                return false;
        return true;
    };
    if (!writeRow(1, trendCsvHeaderCells()))
        return false;
    TrendCsvRows rows;
    for (std::size_t i = first; i < last; ++i)
        if (!writeRow(int(i - first) + 2, rows.cells(series.at(i))))
            return false;
    return workbook.finish(file, why);
}

} // namespace pm
