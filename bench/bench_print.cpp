#include "platform/QtLinePrinter.h"
#include "protocol/Download.h"
#include "protocol/Reading.h"
#include "records/PrintLines.h"
#include "records/RecordTable.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
constexpr int kRecords = 10000; // the largest download

// Lines on a PDF printer as "Print" sends them once the dialog has closed.
bool printToPdf(const QStringList& lines, const QString& path, int topOffsetTwips) {
    pm::QtLinePrinter printer;
    printer.printer().setOutputFormat(QPrinter::PdfFormat);
    printer.printer().setOutputFileName(path);
    printer.setTopOffset(topOffsetTwips);
    for (const QString& line : lines)
        if (!printer.printLine(line))
            return false;
    return printer.endDoc();
}

// The record print-out of 10000 blocks: 70000 lines, about a thousand pages.
void PrintRecordsToPdf(benchmark::State& state) {
    pm::RecordTable table;
    const QByteArray block =
        QByteArray::fromHex("F0 55 E8 03 88 13 E8 03 01 02 03 04 B0 04 10 0E 08 07 C9 04 86 13");
    for (int k = 1; k <= kRecords; ++k)
        pm::recordin(k, block, table);
    QTemporaryDir dir;
    const QString path = dir.filePath("records.pdf");
    for (auto _ : state) {
        const QStringList lines = pm::tablePrintLines(table, kRecords);
        if (!printToPdf(lines, path, 0))
            state.SkipWithError("the PDF could not be written");
    }
    state.counters["pdf_KiB"] = double(QFileInfo(path).size()) / 1024.0;
}
BENCHMARK(PrintRecordsToPdf)->Unit(benchmark::kMillisecond);

// The real-time print-out: seven lines on one page.
void PrintViewToPdf(benchmark::State& state) {
    pm::Panel panel;
    QTemporaryDir dir;
    const QString path = dir.filePath("view.pdf");
    for (auto _ : state) {
        if (!printToPdf(pm::viewPrintLines(panel), path, 500))
            state.SkipWithError("the PDF could not be written");
    }
}
BENCHMARK(PrintViewToPdf)->Unit(benchmark::kMillisecond);
} // namespace
