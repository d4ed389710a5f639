#include "app/trend/TrendSaving.h"
#include "platform/DiskFileStore.h"
#include "platform/Export.h"
#include "platform/XlsxWorkbookWriter.h"
#include "trend/TrendSeries.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <xlsxwriter.h>

namespace {

constexpr qint64 kStart = 1714550400000; // 2024-05-01T08:00:00Z

// A reading a second for the given count, with slow swings; two decimals as the panel shows them.
pm::TrendSeries readings(std::size_t count) {
    pm::TrendSeries series(count);
    for (std::size_t k = 0; k < count; ++k) {
        pm::TrendReading r;
        r.msecs = kStart + qint64(k) * 1000;
        const float swing = float(std::sin(double(k) / 3000.0));
        for (int f = 0; f < pm::kFieldCount; ++f) {
            r.values[size_t(f)] =
                std::round((100.0f * float(f + 1) + swing * float(f)) * 100) / 100;
            r.decimals[size_t(f)] = 2;
        }
        series.append(r);
    }
    return series;
}

// "Save" of the Trend tab as a workbook, as its export thread runs it: the copy of the readings,
// the cells, the workbook packed in a temporary folder, the file written whole.
void TrendWorkbookExport(benchmark::State& state) {
    const pm::TrendSeries series = readings(std::size_t(state.range(0)));
    QTemporaryDir dir;
    pm::DiskFileStore files;
    pm::XlsxWorkbookWriter writer;
    const QString path = dir.filePath("week.xlsx");
    for (auto _ : state) {
        pm::ExportProgress progress;
        const pm::TrendSeries copy = pm::trendSlice(series, 0, series.size());
        QByteArray file;
        QString why;
        if (!pm::trendWorkbook(copy, 0, copy.size(), writer, &file, &why, &progress) ||
            !files.write(path, file, &why))
            state.SkipWithError(qPrintable(why));
    }
}
BENCHMARK(TrendWorkbookExport)->Arg(86'400)->Arg(604'800)->Iterations(1)->Unit(benchmark::kSecond);

// libxlsxwriter writing the same cells itself, straight to the file: the time, its UTC offset
// as text, 17 numbers with two decimals, each centred; the header frozen.
void TrendWorkbookLibraryDirect(benchmark::State& state) {
    const pm::TrendSeries series = readings(std::size_t(state.range(0)));
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("direct.xlsx"));
    for (auto _ : state) {
        lxw_workbook* workbook = workbook_new(path.constData());
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
        auto centred = [workbook](const char* number) {
            lxw_format* format = workbook_add_format(workbook);
            format_set_align(format, LXW_ALIGN_CENTER);
            format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
            if (number)
                format_set_num_format(format, number);
            return format;
        };
        lxw_format* text = centred(nullptr);
        lxw_format* date = centred("yyyy-mm-dd hh:mm:ss");
        lxw_format* value = centred("0.00");
        worksheet_freeze_panes(sheet, 1, 0);
        for (lxw_col_t c = 0; c < 2 + pm::kFieldCount; ++c)
            worksheet_write_string(sheet, 0, c, "heading", text);
        for (std::size_t i = 0; i < series.size(); ++i) {
            const auto row = lxw_row_t(i + 1);
            const QDateTime t = QDateTime::fromMSecsSinceEpoch(series.msecsAt(i));
            lxw_datetime when{t.date().year(), t.date().month(),  t.date().day(),
                              t.time().hour(), t.time().minute(), double(t.time().second())};
            worksheet_write_datetime(sheet, row, 0, &when, date);
            worksheet_write_string(sheet, row, 1, "+02:00", text);
            for (int f = 0; f < pm::kFieldCount; ++f)
                worksheet_write_number(sheet, row, lxw_col_t(2 + f),
                                       double(series.valueAt(i, pm::Field(f))), value);
        }
        if (workbook_close(workbook) != LXW_NO_ERROR)
            state.SkipWithError("workbook_close failed");
    }
}
BENCHMARK(TrendWorkbookLibraryDirect)
    ->Arg(86'400)
    ->Arg(604'800)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

namespace {
// What "Save" of the readings costs the window's own thread: the copy the export works from.
void TrendExportCopy(benchmark::State& state) {
    const pm::TrendSeries series = readings(std::size_t(state.range(0)));
    for (auto _ : state) {
        const pm::TrendSeries copy = pm::trendSlice(series, 0, series.size());
        benchmark::DoNotOptimize(copy.size());
    }
}
BENCHMARK(TrendExportCopy)->Arg(604'800)->Unit(benchmark::kMillisecond);
} // namespace
