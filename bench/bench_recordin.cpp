#include "app/recall/RecordTableModel.h"
#include "protocol/Download.h"
#include "records/RecordTable.h"

#include <QByteArray>
#include <benchmark/benchmark.h>

// One record reply written into its block, with the window's table model listening, on a table
// that already reaches that block. The cost must not depend on the record index.
static void BM_recordin(benchmark::State& state) {
    const int k = int(state.range(0));
    const QByteArray reply =
        QByteArray::fromHex("F0 55 00 00 39 30 00 00 01 01 02 02 00 00 00 00 58 02 00 00 88 13");
    pm::RecordTable table;
    pm::RecordTableModel model(table);
    pm::recordin(k, reply, table);
    for (auto _ : state) {
        pm::recordin(k, reply, table);
        benchmark::DoNotOptimize(table.rows());
    }
    state.SetLabel("rows " + std::to_string(table.rows()));
}
BENCHMARK(BM_recordin)->Arg(1)->Arg(5461)->Arg(32767);
