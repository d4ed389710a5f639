#include "sim/Simulator.h"

#include "sim/PtyEndpoint.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace pm::sim {

namespace {
// 9600 baud, 10 bits a byte (start bit, 8 data bits, stop bit).
constexpr qint64 kNsPerByte = 10 * 1000000000LL / 9600;
constexpr qint64 kRequestBytes = 3;

QString requestName(int code) {
    switch (code) {
    case kCodeLink:
        return QStringLiteral("link");
    case kCodeCount:
        return QStringLiteral("count");
    case kCodeLive:
        return QStringLiteral("live");
    default:
        return QStringLiteral("record %1").arg(code);
    }
}
} // namespace

Simulator::Simulator(const SimConfig& config, PtyEndpoint& pty, QObject* parent)
    : QObject(parent), pty_(pty), instrument_(config.seed), faults_(config.faults, config.seed),
      delayMs_(config.faults.delayMs), lateMs_(config.faults.lateMs), wire_(config.wire),
      verbose_(config.verbose), log_(stderr) {
    if (config.live)
        instrument_.setFixedLive(*config.live);
    if (config.file)
        instrument_.setRecords(*config.file);
    else
        instrument_.generateRecords(config.records);
    if (config.count)
        instrument_.setReportedCount(*config.count);
    if (config.countReply)
        instrument_.setCountReply(*config.countReply);
    reader_ = new QSocketNotifier(pty.masterFd(), QSocketNotifier::Read, this);
    writer_ = new QSocketNotifier(pty.masterFd(), QSocketNotifier::Write, this);
    writer_->setEnabled(false);
    connect(reader_, &QSocketNotifier::activated, this, [this] { onReadable(); });
    connect(writer_, &QSocketNotifier::activated, this, [this] { flushOutbox(); });
    clock_.start();
}

void Simulator::onReadable() {
    for (const int code : parser_.feed(pty_.readAvailable()))
        answer(code);
}

void Simulator::answer(int code) {
    const double now = seconds();
    const auto reply = instrument_.reply(code, now);
    Sending out;
    if (reply)
        out = faults_.apply(*reply, now, code);
    if (verbose_) {
        log_ << QString::number(now, 'f', 3).rightJustified(9) + QStringLiteral(" s  ")
             << requestName(code) << QStringLiteral(": ");
        if (!reply)
            log_ << QStringLiteral("no reply");
        else
            log_ << faultName(out.fault) << QLatin1Char(' ') << out.bytes.toHex(' ').toUpper();
        log_ << Qt::endl;
    }
    if (out.bytes.isEmpty())
        return;
    // A meter busy once: only the first reply to such a record is held up.
    const int lateMs = int(lateMs_.take(code));
    qint64 dueNs = clock_.nsecsElapsed() + qint64(delayMs_ + lateMs) * 1000000;
    if (wire_) {
        // A pseudo-terminal hands the request over at once; on a cable it would have taken its
        // time to come in, and the reply waits for the one still on the line.
        dueNs = std::max(dueNs + kRequestBytes * kNsPerByte, lineFreeNs_) +
                out.bytes.size() * kNsPerByte;
        lineFreeNs_ = dueNs;
    }
    const qint64 waitNs = dueNs - clock_.nsecsElapsed();
    if (waitNs <= 0) {
        send(out.bytes);
        return;
    }
    // Never early: the wait is rounded up to the timer's whole milliseconds.
    const int waitMs = int((waitNs + 999999) / 1000000);
    QTimer::singleShot(waitMs, Qt::PreciseTimer, this, [this, bytes = out.bytes] { send(bytes); });
}

void Simulator::send(const QByteArray& bytes) {
    outbox_ += bytes;
    flushOutbox();
}

void Simulator::flushOutbox() {
    const qsizetype n = pty_.write(outbox_);
    // A line that refuses bytes for good loses them, as a real line would.
    outbox_.remove(0, n < 0 ? outbox_.size() : n);
    writer_->setEnabled(!outbox_.isEmpty());
}

} // namespace pm::sim
