#include "app/wiring/WiringReport.h"
#include "app/wiring/WiringTab.h"
#include "protocol/Decode.h"
#include "protocol/Reading.h"

#include <benchmark/benchmark.h>

namespace {

// The as-found report of a reversed current transformer, as "Save" writes it: one landscape page
// of text and lines.
void WiringReportPdf(benchmark::State& state) {
    pm::Panel panel;
    pm::decodeReading(
        QByteArray::fromHex("10 27 10 27 88 13 88 13 01 01 03 03 B8 0B 58 02 36 09 E6 0D 88 13"),
        panel);
    pm::WiringTab tab;
    tab.meterNumber = QStringLiteral("EM-2291-0457");
    tab.liveReading(panel);
    const pm::WiringReportContent content = pm::wiringReportContent(tab);
    qint64 size = 0;
    for (auto _ : state) {
        QString why;
        const QByteArray pdf = pm::wiringReportPdf(content, &why);
        if (pdf.isEmpty())
            state.SkipWithError("the PDF could not be made");
        size = pdf.size();
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(WiringReportPdf)->Unit(benchmark::kMillisecond);

} // namespace
