#include "protocol/Reading.h"
#include "trend/TrendCsv.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendReduce.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <malloc.h>
#include <thread>

namespace {

constexpr qint64 kStart = 1714550400000; // 2024-05-01T08:00:00Z

// A reading a second with slow swings, a lost link now and then (every 10,000 readings).
pm::TrendReading sample(std::size_t k) {
    pm::TrendReading r;
    r.msecs = kStart + qint64(k) * 1000 + qint64(k / 10000) * 5000;
    const float swing = float(std::sin(double(k) / 3000.0));
    for (int f = 0; f < pm::kFieldCount; ++f) {
        r.values[size_t(f)] = std::round((100.0f * float(f + 1) + swing * float(f)) * 100) / 100;
        r.decimals[size_t(f)] = 2;
    }
    return r;
}

void fill(pm::TrendSeries& series, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        series.append(sample(k));
}

const pm::TrendSeries& week() {
    static const pm::TrendSeries series = [] {
        pm::TrendSeries s;
        fill(s, pm::kTrendCapacity);
        return s;
    }();
    return series;
}

double heapBytes() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd);
}

// One live reading, as the panel shows it, into a series already holding N: the same cost at
// any length. The series grows by the iterations run (50,000) beyond N, or stays full at a week.
void BM_trendAppend(benchmark::State& state) {
    pm::TrendSeries series;
    fill(series, std::size_t(state.range(0)));
    pm::Panel panel;
    const QString texts[] = {QStringLiteral("230.12"),     QStringLiteral("5.180"),
                             QStringLiteral("1.0433"),     QStringLiteral("0.875"),
                             QStringLiteral("29.2\u00B0"), QStringLiteral("50.01")};
    for (int f = 0; f < pm::kFieldCount; ++f)
        panel.setText(pm::Field(f), texts[f % 6]);
    qint64 t = kStart + 1000 * state.range(0);
    for (auto _ : state) {
        series.append(t += 1000, panel);
        benchmark::DoNotOptimize(series.size());
    }
}
BENCHMARK(BM_trendAppend)->Arg(1)->Arg(86400)->Arg(604800)->Iterations(50000);

// A week of readings reduced to 1000 pixel columns for 4 quantities, as a redraw of the plot.
void BM_trendReduce(benchmark::State& state) {
    const pm::TrendSeries& series = week();
    const qint64 from = series.msecsAt(0);
    const qint64 to = series.msecsAt(series.size() - 1);
    std::size_t points = 0;
    for (auto _ : state) {
        points = 0;
        for (pm::Field f : {pm::Field::U1, pm::Field::U2, pm::Field::I1, pm::Field::Freq})
            for (const pm::TrendSegment& s : pm::reduceMinMax(series, f, from, to, 1000))
                points += s.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = double(points);
}
BENCHMARK(BM_trendReduce)->Arg(604800)->Unit(benchmark::kMillisecond);

// Heap held by a full series, per reading.
void BM_trendMemory(benchmark::State& state) {
    for (auto _ : state) {
        const double before = heapBytes();
        pm::TrendSeries series;
        fill(series, pm::kTrendCapacity);
        const double held = heapBytes() - before;
        state.counters["bytes_per_reading"] = held / double(series.size());
        state.counters["heap_MiB"] = held / 1048576.0;
    }
}
BENCHMARK(BM_trendMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// A week of readings as the CSV the window saves, and that file loaded back.
void BM_trendCsvText(benchmark::State& state) {
    const pm::TrendSeries& series = week();
    for (auto _ : state)
        benchmark::DoNotOptimize(pm::trendCsvText(series, 0, series.size()));
}
BENCHMARK(BM_trendCsvText)->Arg(604800)->Unit(benchmark::kMillisecond);

void BM_trendLoadCsv(benchmark::State& state) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("week.csv"));
    QFile file(path);
    const pm::TrendSeries& series = week();
    if (!file.open(QIODevice::WriteOnly) ||
        !file.write(pm::trendCsvText(series, 0, series.size()))) {
        state.SkipWithError("cannot write the file");
        return;
    }
    file.close();
    double held = 0;
    for (auto _ : state) {
        const double before = heapBytes();
        const pm::TrendCsvLoad load = pm::loadTrendCsv(path);
        held = heapBytes() - before;
        if (!load.ok || load.series.size() != series.size())
            state.SkipWithError("the file did not load");
    }
    state.counters["file_MiB"] = double(QFile(path).size()) / 1048576.0;
    state.counters["bytes_per_reading"] = held / double(series.size());
}
BENCHMARK(BM_trendLoadCsv)->Arg(604800)->Unit(benchmark::kMillisecond);

// A disk that takes half a second to sync each row: a slow USB stick, a network share.
class SlowStore : public pm::RowStore {
public:
    explicit SlowStore(std::unique_ptr<pm::RowStore> file) : file_(std::move(file)) {}
    bool append(const QByteArray& bytes, QString* why) override {
        const bool ok = file_->append(bytes, why);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return ok;
    }

private:
    std::unique_ptr<pm::RowStore> file_;
};

// The longest the meter's thread waits on the log for one reading while recording to that disk,
// readings coming back to back (the disk falls further behind with each).
void BM_trendLogSlowDisk(benchmark::State& state) {
    QTemporaryDir tmp;
    pm::TrendRecorder recorder(1);
    recorder.log().setStoreWrapper([](std::unique_ptr<pm::RowStore> file) {
        return std::unique_ptr<pm::RowStore>(std::make_unique<SlowStore>(std::move(file)));
    });
    QString error;
    if (!recorder.startRecording(tmp.filePath(QStringLiteral("log.csv")), &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    pm::Panel panel;
    for (int f = 0; f < pm::kFieldCount; ++f)
        panel.setText(pm::Field(f), QStringLiteral("230.12"));
    qint64 t = kStart;
    double longest = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        if (!recorder.onLiveReading(QDateTime::fromMSecsSinceEpoch(t += 1000), panel, &error))
            state.SkipWithError(qPrintable(error));
        const std::chrono::duration<double, std::micro> waited =
            std::chrono::steady_clock::now() - begin;
        longest = std::max(longest, waited.count());
    }
    state.counters["longest_wait_us"] = longest;
    state.counters["rows_behind"] = double(recorder.rowsBehind());
    recorder.stopRecording(); // every row to the disk, untimed
}
BENCHMARK(BM_trendLogSlowDisk)->Iterations(10)->Unit(benchmark::kMicrosecond);

} // namespace
