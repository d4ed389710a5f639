#include "link/Commands.h"
#include "platform/SerialPort.h"
#include "protocol/MeterCore.h"

#include <benchmark/benchmark.h>

namespace {

// A port that always holds one live reply, so a benchmark iteration is one receive event.
class ReplayPort : public pm::SerialPort {
public:
    explicit ReplayPort(QByteArray reply) : reply_(std::move(reply)) {}
    void setCommPort(int) override {}
    int commPort() const override { return 1; }
    bool isOpen() const override { return true; }
    int open() override { return pm::kOpenOk; }
    void close() override {}
    void setThreshold(int) override {}
    void output(const QByteArray&) override {}
    void discardInput() override {}
    void discardOutput() override {}
    QByteArray input() override { return reply_; }
    qint64 bytesWaiting() const override { return reply_.size(); }
    int commEvent() const override { return pm::kEvReceive; }
    QString deviceName(int) const override { return {}; }
    QString lastError() const override { return {}; }
    void fire() { raiseEvent(); }

private:
    QByteArray reply_;
};

// One live reply through dispatch, decoding and power derivation.
void BM_livein(benchmark::State& state) {
    ReplayPort port(QByteArray::fromHex("F0550000393000000101020200000000580200008813"));
    pm::MeterCore core(port);
    core.form.lastcmd = pm::CmdLive;
    for (auto _ : state) {
        port.fire();
        benchmark::DoNotOptimize(core.panel.text(pm::Field::Q1));
    }
}
BENCHMARK(BM_livein);

} // namespace
