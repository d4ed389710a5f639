#include "platform/DiskFileStore.h"
#include "platform/XlsxWorkbookWriter.h"
#include "protocol/Download.h"
#include "records/RecordTable.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/Toexcel.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

namespace {
// The largest download: 10000 records of 6 rows, 60000 rows in the workbook.
constexpr int kRecords = 10000;

const pm::RecordTable& fullTable() {
    static const pm::RecordTable table = [] {
        pm::RecordTable t;
        const QByteArray block = QByteArray::fromHex(
            "F0 55 E8 03 88 13 E8 03 01 02 03 04 B0 04 10 0E 08 07 C9 04 86 13");
        for (int k = 1; k <= kRecords; ++k)
            pm::recordin(k, block, t);
        return t;
    }();
    return table;
}

void TableTextFile(benchmark::State& state) {
    const pm::RecordTable& table = fullTable();
    QTemporaryDir dir;
    pm::DiskFileStore files;
    const QString path = dir.filePath("records.txt");
    for (auto _ : state) {
        QString why;
        const QByteArray bytes =
            pm::textFileBytes(pm::tableTextLines(table, pm::blocksToWrite(kRecords, table)));
        if (!files.write(path, bytes, &why))
            state.SkipWithError(qPrintable(why));
        state.SetBytesProcessed(state.bytes_processed() + bytes.size());
    }
}
BENCHMARK(TableTextFile)->Unit(benchmark::kMillisecond);

// The export as "Save" runs it: cell walk, workbook in a temporary folder, atomic write.
void Workbook(benchmark::State& state) {
    const pm::RecordTable& table = fullTable();
    QTemporaryDir dir;
    pm::DiskFileStore files;
    pm::XlsxWorkbookWriter writer;
    const QString path = dir.filePath("records.xls");
    for (auto _ : state) {
        QString why;
        if (!pm::toexcel(table, path, writer, files, &why))
            state.SkipWithError(qPrintable(why));
    }
}
BENCHMARK(Workbook)->Unit(benchmark::kMillisecond);

// The same cells written straight to the file with libxlsxwriter, for comparison.
void WorkbookLibraryDirect(benchmark::State& state) {
    const pm::RecordTable& table = fullTable();
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("direct.xlsx"));
    for (auto _ : state) {
        lxw_workbook* workbook = workbook_new(path.constData());
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
        lxw_format* centred = workbook_add_format(workbook);
        format_set_align(centred, LXW_ALIGN_CENTER);
        format_set_align(centred, LXW_ALIGN_VERTICAL_CENTER);
        for (int c = 0; c < table.cols(); ++c)
            for (int r = 0; r < table.rows(); ++r) {
                const QString text = table.text(r, c);
                if (text.isEmpty())
                    worksheet_write_blank(sheet, lxw_row_t(r), lxw_col_t(c), centred);
                else
                    worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c),
                                           text.toUtf8().constData(), centred);
            }
        if (workbook_close(workbook) != LXW_NO_ERROR)
            state.SkipWithError("workbook_close failed");
    }
}
BENCHMARK(WorkbookLibraryDirect)->Unit(benchmark::kMillisecond);
} // namespace
