#include "app/trend/TrendPlot.h"
#include "app/trend/TrendTab.h"
#include "app/window/Form1.h"
#include "platform/QtSerialPort.h"
#include "protocol/Download.h"
#include "trend/TrendCsv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTabBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <benchmark/benchmark.h>
#include <cmath>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

// Bytes the program has allocated and not freed: unlike the resident size, not hidden by memory
// that earlier benchmarks freed and this one reuses.
double heapMiB() {
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / 1048576.0;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop until `done` or the deadline; false on the deadline.
template <typename Done> bool runEventsUntil(Done done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// The window holding 5461 downloaded records on the recall view, every row laid out.
void WindowMemory5461Records(benchmark::State& state) {
    const QByteArray block =
        QByteArray::fromHex("F0 55 E8 03 88 13 E8 03 01 02 03 04 B0 04 10 0E 08 07 C9 04 86 13");
    for (auto _ : state) {
        const double before = heapMiB();
        pm::QtSerialPort port; // never opened: the timers do not run
        pm::Form1 form(port);
        form.show();
        QCoreApplication::processEvents();
        const double empty = heapMiB();
        form.findChild<QTabBar*>(QStringLiteral("TabStrip1"))->setCurrentIndex(1);
        for (int k = 1; k <= 5461; ++k)
            pm::recordin(k, block, form.table());
        QCoreApplication::processEvents();
        state.counters["window_heap_MiB"] = empty - before;
        state.counters["records_heap_MiB"] = heapMiB() - empty;
        state.counters["process_rss_MiB"] = residentMiB();
    }
}
BENCHMARK(WindowMemory5461Records)->Iterations(1)->Unit(benchmark::kMillisecond);

// A week of readings, one a second, the link lost for 5 s after every 10,000, as the window's own.
void fillWeek(pm::Form1& form) {
    qint64 msecs = 1714550400000;
    form.trend().clock = [&msecs] { return QDateTime::fromMSecsSinceEpoch(msecs); };
    pm::Panel& panel = form.core().panel;
    for (std::size_t k = 0; k < pm::kTrendCapacity; ++k) {
        msecs += k % 10000 == 9999 ? 6000 : 1000;
        const double swing = std::sin(double(k) / 3000.0);
        panel.setText(pm::Field::U1, QString::number(230 + swing, 'f', 2));
        panel.setText(pm::Field::U2, QString::number(229.5 - swing, 'f', 2));
        panel.setText(pm::Field::I1, QString::number(5 + swing / 4, 'f', 4));
        panel.setText(pm::Field::I2, QString::number(4.8 - swing / 5, 'f', 4));
        form.trend().liveReading(panel);
    }
    const qint64 end = msecs;
    form.trend().clock = [end] { return QDateTime::fromMSecsSinceEpoch(end); };
}

// The window after a week of live readings, one a second, the link lost for 5 s after every
// 10,000: its resident size, and how long the Trend tab takes to redraw the whole week, the last
// day and the last minute (each redraw reduces the readings of U1, U2, I1 and I2, hands them to the
// plot, a line per unbroken run, and paints it).
void WindowTrendWeek(benchmark::State& state) {
    for (auto _ : state) {
        const double before = heapMiB();
        pm::QtSerialPort port; // never opened: the timers do not run
        pm::Form1 form(port);
        form.show();
        QCoreApplication::processEvents();
        const double empty = heapMiB();
        fillWeek(form);
        state.counters["readings_heap_MiB"] = heapMiB() - empty;
        state.counters["window_heap_MiB"] = empty - before;
        form.findChild<QTabBar*>(QStringLiteral("TabStrip1"))->setCurrentIndex(3);
        QCoreApplication::processEvents();
        auto* plot = form.findChild<pm::TrendPlot*>(QStringLiteral("TrendPlot"));
        auto redrawMs = [&form, plot](pm::TrendViewport::Span span) {
            form.trend().follow(span); // the first one lays out the series
            QElapsedTimer clock;
            clock.start();
            constexpr int kRedraws = 10;
            for (int n = 0; n < kRedraws; ++n) {
                form.trend().follow(span);   // reduced and handed to the plot
                plot->viewport()->repaint(); // and painted
            }
            return double(clock.nsecsElapsed()) / 1e6 / kRedraws;
        };
        state.counters["redraw_week_ms"] = redrawMs(pm::TrendViewport::Span::All);
        state.counters["redraw_day_ms"] = redrawMs(pm::TrendViewport::Span::LastDay);
        state.counters["redraw_minute_ms"] = redrawMs(pm::TrendViewport::Span::LastMinute);
        state.counters["process_rss_MiB"] = residentMiB();
    }
}
BENCHMARK(WindowTrendWeek)->Iterations(1)->Unit(benchmark::kSecond);

// One wheel step on the Trend tab holding a week of readings (604,800), everything shown: the
// work on the main thread from the wheel event to the new frame painted, each step zooming in
// or out by a notch in turn.
void WindowTrendZoomStep(benchmark::State& state) {
    pm::QtSerialPort port; // never opened: the timers do not run
    pm::Form1 form(port);
    form.resize(907, 669);
    form.show();
    fillWeek(form);
    form.findChild<QTabBar*>(QStringLiteral("TabStrip1"))->setCurrentIndex(3);
    QCoreApplication::processEvents();
    auto* plot = form.findChild<pm::TrendPlot*>(QStringLiteral("TrendPlot"));
    form.trend().follow(pm::TrendViewport::Span::All);
    plot->viewport()->repaint();
    const QPointF at(plot->width() / 2.0, plot->height() / 2.0);
    int notch = 120;
    for (auto _ : state) {
        QWheelEvent wheel(at, plot->mapToGlobal(at), QPoint(), QPoint(0, notch), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(plot->viewport(), &wheel);
        plot->viewport()->repaint();
        notch = -notch;
    }
}
BENCHMARK(WindowTrendZoomStep)->Unit(benchmark::kMillisecond)->Iterations(20);

// Opening a week's recording (604,800 rows) on the Trend tab: read, parsed, reduced and drawn.
void WindowTrendOpenWeek(benchmark::State& state) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("week.csv"));
    {
        pm::QtSerialPort port;
        pm::Form1 form(port);
        fillWeek(form);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(pm::trendCsvText(form.trend().shown(), 0, form.trend().shown().size())) <
                0) {
            state.SkipWithError("the week's file could not be written");
            return;
        }
    }
    state.counters["file_MiB"] = double(QFileInfo(path).size()) / 1048576.0;
    for (auto _ : state) {
        pm::QtSerialPort port;
        pm::Form1 form(port);
        form.resize(907, 669);
        form.show();
        form.findChild<QTabBar*>(QStringLiteral("TabStrip1"))->setCurrentIndex(3);
        QCoreApplication::processEvents();
        auto* plot = form.findChild<pm::TrendPlot*>(QStringLiteral("TrendPlot"));
        QElapsedTimer clock;
        clock.start();
        if (!form.trend().openFile(path)) {
            state.SkipWithError("the week's file could not be opened");
            return;
        }
        plot->viewport()->repaint();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(WindowTrendOpenWeek)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// The window linked to the simulated meter and polling it once a second: the share of one core
// it takes meanwhile (the simulator's own share not counted).
void WindowPollingCpu(benchmark::State& state) {
    QProcess sim;
    sim.start(QStringLiteral(PHASEMETER_TOOLS_DIR "/sim/phasemeter-sim"), {});
    if (!sim.waitForStarted(5000) || !runEventsUntil([&] { return sim.canReadLine(); }, 5000)) {
        state.SkipWithError("phasemeter-sim did not start");
        return;
    }
    const QByteArray device = sim.readLine().trimmed();
    qputenv("PHASEMETER_PORTS", device);
    {
        pm::QtSerialPort port;
        pm::Form1 form(port);
        form.startTimers();
        form.show();
        const pm::FormState& f = form.core().form;
        if (!runEventsUntil([&] { return f.linked == pm::kTrue && !f.Findcom.enabled(); }, 10000)) {
            state.SkipWithError("the window did not link to the simulator");
        } else {
            const int seconds = int(state.range(0));
            for (auto _ : state) {
                // The event loop as the program runs it: asleep between events.
                QEventLoop loop;
                QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
                const double cpu0 = cpuSeconds();
                loop.exec();
                const double cpu = cpuSeconds() - cpu0;
                state.SetIterationTime(double(seconds));
                state.counters["cpu_percent"] = 100.0 * cpu / double(seconds);
            }
        }
    }
    qunsetenv("PHASEMETER_PORTS");
    sim.terminate();
    sim.waitForFinished(3000);
}
BENCHMARK(WindowPollingCpu)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
