#include "link/TimerDriver.h"
#include "platform/QtSerialPort.h"
#include "protocol/Download.h"
#include "protocol/MeterCore.h"
#include "records/RecordTable.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

// A download of the simulated meter's records over a line as slow as the real one (--wire): the
// time from "Read" to the end of the download, under fixed pacing (0) or reply pacing (1). The
// line alone takes 26 ms a record: 3 bytes out and 22 back at 9600 baud, 10 bits a byte.
void RecordDownloadOverTheWire(benchmark::State& state) {
    const bool reply = state.range(0) == 1;
    const int records = int(state.range(1));
    QProcess sim;
    sim.start(QStringLiteral(PHASEMETER_TOOLS_DIR "/sim/phasemeter-sim"),
              {QStringLiteral("--records"), QString::number(records), QStringLiteral("--wire")});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        state.SkipWithError("phasemeter-sim did not start");
        return;
    }
    qputenv("PHASEMETER_PORTS", sim.readLine().trimmed());
    {
        pm::QtSerialPort port;
        pm::RecordTable table;
        pm::MeterCore core(port, &table);
        pm::FormState& f = core.form;
        std::vector<std::unique_ptr<pm::TimerDriver>> drivers;
        for (pm::Timer* t : {&f.Findcom, &f.COMtimout, &f.comunication, &f.Readdat})
            drivers.push_back(std::make_unique<pm::TimerDriver>(*t));
        f.download.pacing = reply ? pm::Pacing::Reply : pm::Pacing::Fixed;

        QEventLoop loop;
        QElapsedTimer clock;
        bool asked = false;
        // "Read" right after a live reply, as the window's user would, when no poll is on its way.
        core.replied = [&](pm::ReplyKind kind) {
            if (kind != pm::ReplyKind::Live || asked)
                return;
            asked = true;
            QTimer::singleShot(0, &loop, [&] {
                core.showView(pm::kFalse);
                clock.start();
                core.read();
            });
        };
        core.downloadEnded = [&] { loop.quit(); };
        QTimer::singleShot(records * 200 + 30000, &loop, &QEventLoop::quit);
        core.start();
        for (auto _ : state) {
            loop.exec(); // asleep between events, as the programs run
            if (!clock.isValid() || pm::downloadRunning(f) || !f.download.missing.isEmpty()) {
                state.SkipWithError("the download did not end whole");
                break;
            }
            const double seconds = double(clock.nsecsElapsed()) / 1e9;
            state.SetIterationTime(seconds);
            state.counters["ms_per_record"] = 1000.0 * seconds / records;
            state.counters["minutes"] = seconds / 60.0;
        }
    }
    qunsetenv("PHASEMETER_PORTS");
    sim.terminate();
    sim.waitForFinished(3000);
}
BENCHMARK(RecordDownloadOverTheWire)
    ->ArgNames({"reply", "records"})
    ->Args({0, 1000})
    ->Args({1, 1000})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
